#include "ShownUnit.h"

#include "UnitConversion.h"
#include "UnitsLink.h"

ShownUnit ShownUnit::of(ModbusLink &link, int code, int index)
{
    ShownUnit unit{code, index, 0.0};
    if (index == SpecialIndexOf(code))
        unit.specialFactor = SpecialFactor(link, code);
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
