#pragma once

#include <QString>

#include <optional>

// Densities of the well table in its five units: g/cc, lb/ft3, kg/m3, lb/gal (the
// transmitter's density units 0..3) and °API at the table's standard temperature.
namespace WellDensity {

constexpr int Api = 4;
constexpr int UnitCount = 5;
// Densities from 0 up to (not including) this many g/cc are accepted.
constexpr double MaxGcc = 5.0;

QStringList unitItems();
// What a cell of the unit accepts while typing (digits before and after the
// point); empty for °API, which takes any number.
QString cellPattern(int unit);

// g/cc to the unit and back. Not finite where the unit has no such density
// (−131.5 °API); callers refuse that.
double fromGcc(double gcc, int unit, int stdTemp);
double toGcc(double value, int unit, int stdTemp);

}  // namespace WellDensity
