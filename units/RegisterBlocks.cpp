#include "RegisterBlocks.h"

#include "QuantityCode.h"

#include <array>
#include <utility>

int ValueBlockFor(int code)
{
    using namespace Quantity;
    switch (code) {
    case Temperature: return 261;
    case Density: return 270;
    case MassFlow: return 252;
    case MassTotal: case MassTotalFwd: case MassTotalRev: return 244;
    case VolumeFlow: return 287;
    case VolumeTotal: case VolTotalFwd: case VolTotalRev: return 279;
    case StdVolumeFlow: return 304;
    case StdVolumeTotal: case StdVolTotalFwd: case StdVolTotalRev: return 296;
    case Concentration: return 424;
    case ConcentrateFlow: return 433;
    case ConcentrateTotal: case ConcenTotalFwd: case ConcenTotalRev: return 416;
    case NetOilFlow: return 450;
    case NetOilTotal: case NetOilTotalFwd: case NetOilTotalRev: return 442;
    case BatchTotal: return 313;
    // The live water cut (NetOilPcntWC); 1713 is its configuration block.
    case WaterCut: return 1781;
    case NetWaterRate: return 1798;
    case NetWaterTotal: case NetWaterTotalFwd: case NetWaterTotalRev: return 1790;
    case NetOilVariables: return 1707;
    default: return 0;
    }
}

int ConfigBlockFor(int code)
{
    using namespace Quantity;
    switch (code) {
    case Temperature: return 714;
    case Density: return 748;
    case MassFlow: case MassTotal: case MassTotalFwd: case MassTotalRev: return 680;
    case VolumeFlow: case VolumeTotal: case VolTotalFwd: case VolTotalRev: return 782;
    case StdVolumeFlow: case StdVolumeTotal: case StdVolTotalFwd: case StdVolTotalRev: return 816;
    case Concentration: return 1054;
    case ConcentrateFlow: case ConcentrateTotal: case ConcenTotalFwd: case ConcenTotalRev: return 1020;
    case NetOilFlow: case NetOilTotal: case NetOilTotalFwd: case NetOilTotalRev: return 1673;
    case BatchTotal: case BatchSize: return 550;
    case KeyboardData: return 983;
    case WaterCut: return 1713;
    case NetWaterRate: case NetWaterTotal: case NetWaterTotalFwd: case NetWaterTotalRev: return 1747;
    case NetOilVariables: return 1707;
    case TransmitterVariablesEx: return 3380;
    default: return 0;
    }
}

std::optional<int> QuantityOfUnitBlock(int blockAddress)
{
    using namespace Quantity;
    static constexpr std::array<std::pair<int, int>, 10> Blocks = {{
        {680, MassFlow},
        {714, Temperature},
        {748, Density},
        {782, VolumeFlow},
        {816, StdVolumeFlow},
        {1020, ConcentrateFlow},
        {1054, Concentration},
        {1673, NetOilFlow},
        {1713, WaterCut},
        {1747, NetWaterRate},
    }};
    for (const auto &[address, code] : Blocks) {
        if (address == blockAddress)
            return code;
    }
    return std::nullopt;
}
