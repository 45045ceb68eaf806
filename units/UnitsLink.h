#pragma once

#include "UnitConversion.h"

#include <QByteArray>
#include <QString>

#include <optional>

class ModbusLink;

// The unit operations that read the transmitter. Each read goes through the link;
// when it fails the register image keeps its last known contents, and the result
// is taken from those.

// Special factors read fresh from the transmitter's records, for FromBase/ToBase.
SpecialFactorSource SpecialFactorsFrom(ModbusLink &link);
double SpecialFactor(ModbusLink &link, int code);
// The Special unit's own rate text (codes 5, 7, 9) or total text (6, 8, 10).
QString SpecialUnitText(ModbusLink &link, int code);

struct ConfiguredUnit {
    int code;       // the quantity the block reports
    int unitIndex;  // the transmitter's unit index for it
};
// Reads a configuration block that begins with a unit index; addresses of other
// blocks are not read and give nothing.
std::optional<ConfiguredUnit> ReadConfiguredUnit(ModbusLink &link, int blockAddress);

// Minimum span of a quantity for the connected sensor (reads registers 635..679).
double MinimumSpan(ModbusLink &link, int code);

// Reads the live value block of a quantity code and returns its first 18 or 16
// bytes (value, alarm word and maximum, or total and forward total). A code
// without a live value block reads nothing and gives zeros.
QByteArray Read_Param_18(ModbusLink &link, int code);
QByteArray Read_Param_16(ModbusLink &link, int code);

// Keeps the size formats in step with the sensor: every read at register 635
// recomputes them from the image.
void ConnectSizeFormats(ModbusLink &link);
