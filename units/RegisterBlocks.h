#pragma once

#include <optional>

// Where a quantity lives in the transmitter's registers.

// First register of the live value block of a quantity code, or 0.
int ValueBlockFor(int code);
// First register of the configuration block of a quantity code, or 0.
int ConfigBlockFor(int code);
// The quantity code a configuration block reports through its leading unit
// byte, for the blocks that carry a unit; empty for any other address.
std::optional<int> QuantityOfUnitBlock(int blockAddress);

// Size of a configuration block whose first byte is the transmitter unit index.
constexpr int UnitBlockRegisters = 34;
