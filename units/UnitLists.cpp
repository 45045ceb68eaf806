#include "UnitLists.h"

#include "QuantityCode.h"
#include "TextTable.h"
#include "UnitConversion.h"

#include <algorithm>
#include <bitset>
#include <initializer_list>

namespace {

constexpr int LastUnitText = 247;  // the empty text that forms the list of code 0

// A set of display-text numbers; members come out in ascending order.
class TextSet {
public:
    struct Range {
        int first;
        int last;
        Range(int only) : first(only), last(only) {}  // NOLINT: single numbers read naturally
        Range(int from, int to) : first(from), last(to) {}
    };
    TextSet(std::initializer_list<Range> ranges)
    {
        for (const Range &r : ranges)
            for (int n = r.first; n <= r.last; ++n)
                m_members.set(size_t(n));
    }
    QStringList texts() const
    {
        QStringList list;
        for (int n = 1; n <= LastUnitText; ++n) {
            if (m_members.test(size_t(n)))
                list << TextTable::text(n);
        }
        return list;
    }

private:
    std::bitset<LastUnitText + 1> m_members;
};

TextSet textSetFor(int code)
{
    using namespace Quantity;
    switch (code) {
    case NotUsed: return {LastUnitText};
    case Frequency: return {181};                                                   // Hz
    case Phase: return {{182, 183}};                                                // Rad, Deg
    case Temperature: return {{184, 185}};                                          // °C, °F
    case Density: return {{136, 139}, 144};                                         // g/cc .. lb/gal, °API
    case DensityWithConcentration: return {{136, 139}, {141, 144}};                 // .. BRIX, BAUME, °API
    case MassFlow: case ConcentrateFlow: return {{145, 159}, 178};                  // lb/sec .. g/hr, Special
    case MassTotal: case ConcentrateTotal: case BatchTotal:
    case MassTotalFwd: case MassTotalRev: case ConcenTotalFwd: case ConcenTotalRev:
        return {{125, 129}, 178};                                                   // lb .. g, Special
    // The volume lists leave out the imperial gallons.
    case VolumeFlow: case StdVolumeFlow: return {{160, 171}, {175, 180}};           // cc/sec .. Barrel/day
    case VolumeTotal: case StdVolumeTotal:
    case VolTotalFwd: case VolTotalRev: case StdVolTotalFwd: case StdVolTotalRev:
        return {{130, 133}, 135, 178};                                              // cc .. USgal, Barrel, Special
    case Concentration: return {{140, 143}};                                        // %, BRIX, BAUME
    case SensorVoltage: return {{186, 187}};
    case AnalogCurrent: return {{188, 189}};
    case Resistance: return {{190, 191}};
    case Time: return {{192, 194}};
    // Selection lists.
    case 153: return {35, 60, {63, 73}, 76, {98, 106}};
    case 154: return {63, 64, 65, 67, 69, 71, 72, 74, 81};
    case 155: return {63, 64, 65, 67, 69, 71, 72, 74};
    case 156: return {118, 119};
    case 157: return {66, 68, 70, 73, 75};
    case 158: return {120, 121};
    case 159: return {60, 63, 64, 65, 67, 69, 71, 72, 74, {82, 91}, 115, 116, 124};
    case 160: return {92, 93};
    case 161: return {{202, 208}};
    case 162: return {209, 210};
    case 163: return {{211, 231}};
    case 164: return {{233, 241}};
    case 165: return {{243, 246}};
    case 166: return {{195, 201}};
    case 167: return {3, 9};
    case 168: return {{1, 12}, {14, 22}};
    case 169: return {{2, 8}, 13, 14};
    case 170: return {{1, 4}};
    case 171: return {{49, 51}};
    case 172: return {57, 58};
    case 173: return {{52, 54}};
    case 174: return {55, 56};
    case 175: return {{63, 70}, {72, 76}, 81};
    case 176: return {66, 68, 70, 73, 75, 76, 94, 95};
    case 177: return {96, 97};
    default: return {};
    }
}

} // namespace

QStringList UnitListFor(int code)
{
    return textSetFor(code).texts();
}

QString UnitTextFor(int code, int transmitterUnitIndex)
{
    const int index = IsTotalQuantity(code) ? TotalIndexForRate(code, transmitterUnitIndex)
                                            : std::max(transmitterUnitIndex, 0);
    return UnitListFor(code).value(index);
}
