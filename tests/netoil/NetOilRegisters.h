#pragma once

// Registers of the net-oil blocks the net-oil tests set and check.
inline constexpr int NetOilVar = 1707, WellCfg = 1807, NetOilBlock = 1673, NetWaterBlock = 1747;
inline constexpr int MeasParamAt = 2 * NetOilVar + 8, WellNoAt = 2 * NetOilVar + 9;
