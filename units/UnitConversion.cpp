#include "UnitConversion.h"

#include "QuantityCode.h"

#include <algorithm>
#include <span>

namespace {

// A "Special" entry takes its factor from the transmitter; its slot holds nothing.
constexpr double SpecialSlot = 0.0;
constexpr int TotalSpecialIndex = 5;

constexpr double MassRateFactors[] = {
    1.0, 60.0, 3600.0,                                  // lb
    0.453592374, 27.21554244, 1632.9325464,             // kg
    0.000453592374, 0.02721554244, 1.6329325464,        // tonne
    16.0, 960.0, 57600.0,                               // oz
    453.592374, 27215.54244, 1632932.5464,              // g
    SpecialSlot,
};
constexpr double MassTotalFactors[] = {1.0, 0.453592374, 0.000453592374, 16.0, 453.592374, SpecialSlot};
constexpr double VolumeRateFactors[] = {
    1.0, 60.0, 3600.0,                                                        // cc
    0.001, 0.06, 3.6,                                                         // liter
    1e-06, 6e-05, 0.0036,                                                     // m3
    0.000264172, 0.01585032, 0.9510192,                                       // USgal
    6.289809523809524e-06, 0.00037738857142857144, 0.022643314285714287,      // Barrel
    SpecialSlot,
    0.0864, 0.5434395428571429,                                               // m3/day, Barrel/day
};
constexpr double VolumeTotalFactors[] = {1.0, 0.001, 1e-06, 0.000264172, 6.289809523809524e-06, SpecialSlot};
constexpr double DensityFactors[] = {1.0, 62.427961, 1000.0, 8.345406105, 1.0};
constexpr double ConcentrationDensityFactors[] = {1.0, 62.427961, 1000.0, 8.345406105, 1.0, 1.0, 1.0, 1.0};
constexpr double PhaseFactors[] = {57.29577951308232, 1.0};
constexpr double VoltFactors[] = {1000.0, 1.0};
constexpr double MilliFactors[] = {1000.0, 1.0};
constexpr double ResistanceFactors[] = {1.0, 1000.0};
constexpr double TimeFactors[] = {1.0, 1.0 / 60.0, 1.0 / 3600.0};

// Raw sensor-voltage counts per volt.
constexpr double SensorCountsPerVolt = 133053.061224;

enum class Rule {
    PassThrough,     // value unchanged
    Factor,          // display = base x factor
    ReverseFactor,   // display = base / factor
    Temperature,     // index 1 is degrees F
    SensorVoltage,
    DriveAmplitude,  // piecewise linear, no index
    AnalogCurrent,   // no index
};

struct Conversion {
    Rule rule = Rule::PassThrough;
    std::span<const double> factors;
    int specialIndex = -1;
};

Conversion conversionFor(int code)
{
    using namespace Quantity;
    switch (code) {
    case MassFlow:
    case ConcentrateFlow:
        return {Rule::Factor, MassRateFactors, RateSpecialIndex};
    case MassTotal:
    case ConcentrateTotal:
    case BatchTotal:
    case MassTotalFwd:
    case MassTotalRev:
    case ConcenTotalFwd:
    case ConcenTotalRev:
        return {Rule::Factor, MassTotalFactors, TotalSpecialIndex};
    case VolumeFlow:
    case StdVolumeFlow:
        return {Rule::Factor, VolumeRateFactors, RateSpecialIndex};
    case VolumeTotal:
    case StdVolumeTotal:
    case VolTotalFwd:
    case VolTotalRev:
    case StdVolTotalFwd:
    case StdVolTotalRev:
        return {Rule::Factor, VolumeTotalFactors, TotalSpecialIndex};
    case Density:
        return {Rule::Factor, DensityFactors};
    case DensityWithConcentration:
        return {Rule::Factor, ConcentrationDensityFactors};
    case Phase:
        return {Rule::Factor, PhaseFactors};
    case SensorVoltage:
        return {Rule::SensorVoltage, VoltFactors};
    case MilliPairA:
    case MilliPairB:
        return {Rule::ReverseFactor, MilliFactors};
    case Resistance:
        return {Rule::ReverseFactor, ResistanceFactors};
    case Time:
        return {Rule::ReverseFactor, TimeFactors};
    case Temperature:
        return {Rule::Temperature, {}};
    case DriveAmplitude:
        return {Rule::DriveAmplitude, {}};
    case AnalogCurrent:
        return {Rule::AnalogCurrent, {}};
    default:
        // Concentration (factor 1.0) and every code without a table.
        return {};
    }
}

// The factor to apply, or nothing when the value must pass unconverted.
std::optional<double> factorOf(const Conversion &c, int code, int index, const SpecialFactorSource &special)
{
    if (index >= int(c.factors.size()))
        return std::nullopt;
    if (index == c.specialIndex)
        return special ? std::optional<double>(special(code)) : std::nullopt;
    return c.factors[size_t(index)];
}

namespace Drive {
// Three straight pieces of the drive-amplitude curve, in raw counts and volts.
constexpr double FirstKnee = 10240.0;   // raw counts at 2.2 V
constexpr double SecondKnee = 18432.0;  // raw counts at 3.5 V
constexpr double FirstKneeVolts = 2.2;
constexpr double SecondKneeVolts = 3.5;
constexpr double Slope1 = 4654.545454;
constexpr double Slope2 = 6301.538462;
constexpr double Offset2 = 3623.384615;
constexpr double Slope3 = 8302.7027027;
constexpr double Offset3 = 10627.459459;

double fromRaw(double raw)
{
    if (raw <= FirstKnee)
        return raw / Slope1;
    if (raw <= SecondKnee)
        return (raw + Offset2) / Slope2;
    return (raw + Offset3) / Slope3;
}

double toRaw(double volts)
{
    if (volts <= FirstKneeVolts)
        return volts * Slope1;
    if (volts <= SecondKneeVolts)
        return volts * Slope2 - Offset2;
    return volts * Slope3 - Offset3;
}
} // namespace Drive

// Full-scale analog current in mA over the 16-bit converter range.
constexpr double AnalogFullScaleMa = 24.0;
constexpr double AnalogFullScaleCounts = 65535.0;

} // namespace

namespace {

enum class Towards { Display, Base };

// Both directions of every rule side by side, so that each pair stays inverse.
double convert(int code, double value, int unitIndex, const SpecialFactorSource &special, Towards to)
{
    const bool display = to == Towards::Display;
    const Conversion c = conversionFor(code);
    const int index = std::max(unitIndex, 0);
    switch (c.rule) {
    case Rule::PassThrough:
        return value;
    case Rule::Temperature:
        if (index != 1)
            return value;
        return display ? value * 9.0 / 5.0 + 32.0 : (value - 32.0) * 5.0 / 9.0;
    case Rule::DriveAmplitude:
        return display ? Drive::fromRaw(value) : Drive::toRaw(value);
    case Rule::AnalogCurrent:
        return display ? value * AnalogFullScaleMa / AnalogFullScaleCounts
                       : value * AnalogFullScaleCounts / AnalogFullScaleMa;
    default:
        break;
    }
    const std::optional<double> factor = factorOf(c, code, index, special);
    if (!factor)
        return value;
    if (c.rule == Rule::ReverseFactor)
        return display ? value / *factor : value * *factor;
    if (c.rule == Rule::SensorVoltage)
        return display ? value * *factor / SensorCountsPerVolt : SensorCountsPerVolt * value / *factor;
    return display ? value * *factor : value / *factor;
}

} // namespace

double FromBase(int code, double value, int unitIndex, const SpecialFactorSource &special)
{
    return convert(code, value, unitIndex, special, Towards::Display);
}

double ToBase(int code, double value, int unitIndex, const SpecialFactorSource &special)
{
    return convert(code, value, unitIndex, special, Towards::Base);
}

double ConvertUnits(int code, double value, int fromIndex, int toIndex, const SpecialFactorSource &special)
{
    return FromBase(code, ToBase(code, value, fromIndex, special), toIndex, special);
}

std::optional<double> TableFactor(int code, int unitIndex)
{
    const Conversion c = conversionFor(code);
    if (unitIndex < 0 || unitIndex >= int(c.factors.size()) || unitIndex == c.specialIndex)
        return std::nullopt;
    return c.factors[size_t(unitIndex)];
}

int SpecialIndexOf(int code)
{
    return conversionFor(code).specialIndex;
}

bool IsMassQuantity(int code)
{
    using namespace Quantity;
    switch (code) {
    case MassFlow: case ConcentrateFlow:
    case MassTotal: case ConcentrateTotal: case BatchTotal:
    case MassTotalFwd: case MassTotalRev: case ConcenTotalFwd: case ConcenTotalRev:
        return true;
    default:
        return false;
    }
}

bool IsVolumeQuantity(int code)
{
    using namespace Quantity;
    switch (code) {
    case VolumeFlow: case StdVolumeFlow:
    case VolumeTotal: case StdVolumeTotal:
    case VolTotalFwd: case VolTotalRev: case StdVolTotalFwd: case StdVolTotalRev:
        return true;
    default:
        return false;
    }
}

bool IsTotalQuantity(int code)
{
    using namespace Quantity;
    switch (code) {
    case MassTotal: case VolumeTotal: case StdVolumeTotal: case ConcentrateTotal:
    case NetOilTotal: case BatchTotal:
    case MassTotalFwd: case MassTotalRev: case VolTotalFwd: case VolTotalRev:
    case StdVolTotalFwd: case StdVolTotalRev: case ConcenTotalFwd: case ConcenTotalRev:
    case NetOilTotalFwd: case NetOilTotalRev:
    case NetWaterTotal: case NetWaterTotalFwd: case NetWaterTotalRev:
        return true;
    default:
        return false;
    }
}

int TotalIndexForRate(int code, int rateIndex)
{
    constexpr int CubicMetrePerDay = 16;
    constexpr int BarrelPerDay = 17;
    constexpr int CubicMetre = 2;
    constexpr int Barrel = 4;
    const int index = std::max(rateIndex, 0);
    if (IsVolumeQuantity(code)) {
        if (index == CubicMetrePerDay)
            return CubicMetre;
        if (index == BarrelPerDay)
            return Barrel;
    }
    return index / 3;
}
