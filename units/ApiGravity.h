#pragma once

// Degrees API of the oil industry against density in g/cc, at the standard
// temperature the transmitter keeps with its well table (CfgWell.StdTemp): 0 is
// 15 °C, 1 is 60 °F. Any other value counts as 15 °C.
namespace ApiGravity {

constexpr int Celsius15 = 0;
constexpr int Fahrenheit60 = 1;

// Density of water at the standard temperature, g/cc.
double WaterDensity(int stdTemp);

// 141.5 / (density / water density) - 131.5; a density of exactly 0 gives 200.0.
double FromDensity(double densityGcc, int stdTemp);
// K / (°API + 131.5) with K = 141.5 x water density; exactly 200.0 °API gives 0.
// -131.5 °API has no density: the result is not finite, and callers refuse it.
double ToDensity(double api, int stdTemp);

} // namespace ApiGravity
