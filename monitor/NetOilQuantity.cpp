#include "NetOilQuantity.h"

#include "ModbusLink.h"
#include "QuantityCode.h"

namespace {
constexpr int NetOilVarBlock = 1707, NetOilVarBytes = 12;
constexpr int MeasParamOffset = 8;
constexpr int MeasuresMass = 1;
}  // namespace

int ReadNetOilQuantity(ModbusLink &link)
{
    link.Read_Regs(NetOilVarBlock, NetOilVarBytes);
    return link.image().u8At(2 * NetOilVarBlock + MeasParamOffset) == MeasuresMass ? Quantity::MassFlow
                                                                                  : Quantity::VolumeFlow;
}
