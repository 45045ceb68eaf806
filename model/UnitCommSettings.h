#pragma once

#include "RegisterImage.h"

#include <QString>

class ModbusLink;

// The registers that decide whether anyone can still talk to a unit after a
// download: its unit ID, framing, protocol and line. Copying one meter's file onto
// another on the same bus must never give two units one address by accident, so a
// download writes the file's settings only when asked to.
namespace UnitCommSettings {

struct Block {
    int firstRegister;
    int bytes;
};
inline constexpr Block Blocks[] = {{.firstRegister = 2401, .bytes = 2}, {.firstRegister = 2402, .bytes = 2},
                                   {.firstRegister = 2405, .bytes = 2}, {.firstRegister = 2406, .bytes = 8}};

// "unit ID 12, RTU, 19200,E,8,1, protocol Modbus".
QString describe(const RegisterImage &image);
bool differ(const RegisterImage &a, const RegisterImage &b);
// Reads the unit's settings into unit, leaving the link's image as it was (it may
// hold a file about to be written). False when a read failed.
bool read(ModbusLink &link, RegisterImage *unit);
// Puts the unit's settings into image.
void keep(RegisterImage &image, const RegisterImage &unit);

}  // namespace UnitCommSettings
