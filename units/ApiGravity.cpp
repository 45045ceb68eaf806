#include "ApiGravity.h"

#include <limits>

namespace ApiGravity {

namespace {
constexpr double ApiScale = 141.5;
constexpr double ApiOffset = 131.5;
// The transmitter's sentinels for "no density".
constexpr double EmptyApi = 200.0;
} // namespace

double WaterDensity(int stdTemp)
{
    return stdTemp == Fahrenheit60 ? 0.999042 : 0.999129;
}

double FromDensity(double densityGcc, int stdTemp)
{
    if (densityGcc == 0.0)
        return EmptyApi;
    return ApiScale / (densityGcc / WaterDensity(stdTemp)) - ApiOffset;
}

double ToDensity(double api, int stdTemp)
{
    if (api == EmptyApi)
        return 0.0;
    if (api == -ApiOffset)
        return std::numeric_limits<double>::infinity();
    return ApiScale * WaterDensity(stdTemp) / (api + ApiOffset);
}

} // namespace ApiGravity
