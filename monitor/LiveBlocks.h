#pragma once

// Live blocks more than one view reads.
inline constexpr int ProcessBlock = 459, ProcessBytes = 66;  // temperature, density and the other process values
inline constexpr int ValueBlockBytes = 18;                   // one measured value with its alarm word and limits
