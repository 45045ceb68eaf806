#pragma once

#include <QString>

class ModbusLink;

// The unit a window shows a quantity in: its code and unit index, and, for the
// user-defined "Special" unit, the factor read once from the transmitter when the
// unit was chosen (so converting a screenful of values sends nothing).
struct ShownUnit {
    static const QString FactorUnreadText;

    int code = 0;
    int index = 0;
    double specialFactor = 0.0;
    // False when the Special factor could not be read: nothing converts with it.
    bool factorRead = true;

    // Reads the Special factor when the index is the code's Special unit.
    static ShownUnit of(ModbusLink &link, int code, int index);

    double fromBase(double base) const;
    // May give an infinite or NaN value (an undefined Special unit); callers refuse
    // to send such a value.
    double toBase(double shown) const;
};
