#include "UnitsLink.h"

#include "ModbusLink.h"
#include "NumberFormat.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "UserUnitRecords.h"

namespace {

constexpr int TransducerInfoRegister = 635;  // CfgMiscInfo2
constexpr int TransducerInfoBytes = 90;

SpecialUnitRecord readSpecialRecord(ModbusLink &link, int firstRegister)
{
    link.Read_Regs(firstRegister, SpecialUnitRecord::ByteCount);
    return SpecialUnitRecord::fromImage(link.image(), firstRegister);
}

QByteArray readParam(ModbusLink &link, int code, int byteCount)
{
    const int address = ValueBlockFor(code);
    if (address == 0)
        return QByteArray(byteCount, '\0');
    link.Read_Regs(address, byteCount);
    return link.image().read(address, byteCount);
}

} // namespace

double SpecialFactor(ModbusLink &link, int code)
{
    const int reg = SpecialRecordRegisterFor(code);
    return reg ? SpecialFactorFrom(code, readSpecialRecord(link, reg)) : 0.0;
}

SpecialFactorSource SpecialFactorsFrom(ModbusLink &link)
{
    return [&link](int code) { return SpecialFactor(link, code); };
}

QString SpecialUnitText(ModbusLink &link, int code)
{
    // Only the mass, volume and standard-volume rates and totals show a Special text.
    if (code < Quantity::MassFlow || code > Quantity::StdVolumeTotal)
        return {};
    return SpecialUnitTextFrom(code, readSpecialRecord(link, SpecialRecordRegisterFor(code)));
}

std::optional<ConfiguredUnit> ReadConfiguredUnit(ModbusLink &link, int blockAddress)
{
    const std::optional<int> code = QuantityOfUnitBlock(blockAddress);
    if (!code)
        return std::nullopt;
    link.Read_Regs(blockAddress, 2 * UnitBlockRegisters);
    return ConfiguredUnit{*code, link.image().u8At(2 * blockAddress)};
}

double MinimumSpan(ModbusLink &link, int code)
{
    link.Read_Regs(TransducerInfoRegister, TransducerInfoBytes);
    return MinimumSpanFrom(link.image(), code);
}

QByteArray Read_Param_18(ModbusLink &link, int code)
{
    return readParam(link, code, 18);
}

QByteArray Read_Param_16(ModbusLink &link, int code)
{
    return readParam(link, code, 16);
}

void ConnectSizeFormats(ModbusLink &link)
{
    QObject::connect(&link, &ModbusLink::sizeFormatsSourceRead, &link,
                     [&link] { SelectSizeFormats(link.image()); });
}
