#pragma once

#include "Catalogue.h"

#include <QString>

class RegisterImage;

// How the command line shows a catalogue field: the unit the transmitter stores it
// in, and its value as text. Live values are stored in fixed base units (lb/sec,
// lb, cc/sec, cc, g/cc, °C); a single-precision value is printed with the shortest
// text that reads back to the same single.
namespace FieldColumns {
// The base unit of a number in a live value block (value, totals, limits), or
// empty for every other field.
QString baseUnit(const FieldRef &field);
// "MassRate.Value [lb/sec]", or the key alone.
QString header(const FieldRef &field);
QString valueText(const RegisterImage &image, const FieldRef &field);
// What the field is, for listings: "float64", "text 20", ...
QString typeName(const FieldRef &field);
} // namespace FieldColumns
