#pragma once

#include <functional>
#include <optional>

// Every process value travels in a fixed base unit (lb/sec, lb, cc/sec, cc, g/cc,
// radian, raw counts); these functions turn it into a display unit and back.
//
// A unit index is a position in the code's unit list (UnitLists.h). A negative
// index counts as 0. An index beyond the list leaves the value unconverted, so a
// stray byte from the transmitter never reads outside a table.

// Supplies the factor of the user-defined "Special" unit of a quantity code; the
// factor lives in the transmitter (UserUnitRecords.h, UnitsLink.h).
using SpecialFactorSource = std::function<double(int code)>;

// Display value of a base value. With no Special source a "Special" index leaves
// the value unconverted.
double FromBase(int code, double value, int unitIndex, const SpecialFactorSource &special = {});
// Base value of a display value. A Special factor of 0 (an undefined Special unit)
// gives an infinite or NaN result that callers refuse to send.
double ToBase(int code, double value, int unitIndex, const SpecialFactorSource &special = {});
// ToBase with the first index, then FromBase with the second.
double ConvertUnits(int code, double value, int fromIndex, int toIndex,
                    const SpecialFactorSource &special = {});

// The factor of a tabled code's unit (display = base x factor for the ordinary
// tables), without the Special unit; empty when the code has no factor table, the
// index is beyond it, or the index is "Special".
std::optional<double> TableFactor(int code, int unitIndex);
// Position of "Special" in the code's unit list, or -1.
int SpecialIndexOf(int code);
// Every rate unit list, mass and volume, has "Special" at this position.
inline constexpr int RateSpecialIndex = 15;

bool IsMassQuantity(int code);     // 5, 12 rates; 6, 13, 16, 38, 39, 44, 45 totals
bool IsVolumeQuantity(int code);   // 7, 9 rates; 8, 10, 40..43 totals
// Codes whose transmitter unit index is a rate index from which the total unit is derived.
bool IsTotalQuantity(int code);
// Total unit index that goes with a rate unit index: for volume quantities
// "m3/day" (16) gives "m3" (2) and "Barrel/day" (17) gives "Barrel" (4); every
// other index is divided by 3, so "Special" (15) gives "Special" (5).
int TotalIndexForRate(int code, int rateIndex);
