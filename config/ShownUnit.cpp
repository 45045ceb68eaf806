#include "ShownUnit.h"

#include "ModbusLink.h"
#include "UnitConversion.h"
#include "UserUnitRecords.h"

const QString ShownUnit::FactorUnreadText = QStringLiteral(
    "The Special unit's factor could not be read from the transmitter, so values cannot be shown in the "
    "Special unit. The unit was not changed.");

ShownUnit ShownUnit::of(ModbusLink &link, int code, int index)
{
    ShownUnit unit{code, index, 0.0, true};
    if (index != SpecialIndexOf(code))
        return unit;
    if (const int reg = SpecialRecordRegisterFor(code)) {
        unit.factorRead = link.readRegisters(reg, SpecialUnitRecord::ByteCount);
        unit.specialFactor = SpecialFactorFrom(code, SpecialUnitRecord::fromImage(link.image(), reg));
    }
    return unit;
}

double ShownUnit::fromBase(double base) const
{
    return FromBase(code, base, index, [f = specialFactor](int) { return f; });
}

double ShownUnit::toBase(double shown) const
{
    return ToBase(code, shown, index, [f = specialFactor](int) { return f; });
}
