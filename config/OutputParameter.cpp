#include "OutputParameter.h"

#include "ModbusLink.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"

namespace {

using namespace Quantity;

constexpr int UnitByte = 0, CutoffAt = 26;
constexpr int UnitTextWidth = 12;
constexpr int BatchBlockBytes = 52;

// The code a parameter converts with; 0 when it is shown unconverted.
int conversionCode(int code, int netOilQuantity)
{
    const bool mass = netOilQuantity == MassFlow;
    switch (code) {
    case KeyboardData: case WaterCut: return 0;
    case NetOilFlow: case NetWaterRate: return mass ? MassFlow : VolumeFlow;
    case NetOilTotal: case NetWaterTotal: case BatchTotal: return mass ? MassTotal : VolumeTotal;
    default: return code;
    }
}

}  // namespace

OutputParameter OutputParameter::read(ModbusLink &link, int code, int netOilQuantity)
{
    OutputParameter p;
    p.code = code;
    const int block = ConfigBlockFor(code);
    const int convert = conversionCode(code, netOilQuantity);
    // Keyboard Data has no block of its own (the address given for it is the pulse
    // output's); the batch block carries neither unit nor cutoff.
    if (code == KeyboardData || block == 0)
        return p;
    if (code == BatchTotal) {
        link.Read_Regs(block, BatchBlockBytes);
    } else {
        link.Read_Regs(block, 2 * UnitBlockRegisters);
        p.cutoff = link.image().f64At(2 * block + CutoffAt);
    }
    const int unitByte = code == BatchTotal ? 0 : link.image().u8At(2 * block + UnitByte);
    if (code == WaterCut) {
        p.unitText = QStringLiteral("  %");
        return p;
    }
    p.converted = true;
    const int index = IsTotalQuantity(convert) ? TotalIndexForRate(convert, unitByte) : unitByte;
    p.unit = ShownUnit::of(link, convert, index);
    p.unitText = UnitTextFor(convert, unitByte).left(UnitTextWidth);
    p.span = MinimumSpan(link, convert);
    return p;
}
