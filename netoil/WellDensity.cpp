#include "WellDensity.h"

#include "ApiGravity.h"
#include "QuantityCode.h"
#include "UnitConversion.h"

#include <QStringList>

namespace WellDensity {

QStringList unitItems()
{
    return {QStringLiteral("g/cc"), QStringLiteral("Ib/ft3"), QStringLiteral("kg/m3"), QStringLiteral("Ib/gal"),
            QStringLiteral("°API")};
}

QString cellPattern(int unit)
{
    // Whole digits allowed before the point, by unit; four decimals each.
    static const int wholeDigits[] = {1, 3, 4, 2};
    if (unit < 0 || unit >= Api)
        return {};
    return QStringLiteral("\\d{0,%1}(\\.\\d{0,4})?").arg(wholeDigits[unit]);
}

double fromGcc(double gcc, int unit, int stdTemp)
{
    if (unit == Api)
        return ApiGravity::FromDensity(gcc, stdTemp);
    return ConvertUnits(Quantity::Density, gcc, 0, unit);
}

double toGcc(double value, int unit, int stdTemp)
{
    if (unit == Api)
        return ApiGravity::ToDensity(value, stdTemp);
    return ConvertUnits(Quantity::Density, value, unit, 0);
}

}  // namespace WellDensity
