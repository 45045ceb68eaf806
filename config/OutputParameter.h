#pragma once

#include "ShownUnit.h"

#include <QString>

class ModbusLink;

// What an output's parameter is shown in: the unit its configuration block names,
// its low-flow cutoff and the sensor's minimum span, all read from the transmitter.
// Net-oil parameters convert with the net-oil basis (mass or volume); "% Water
// Cut", "Keyboard Data" and codes the program does not know are shown unconverted.
struct OutputParameter {
    int code = 0;
    ShownUnit unit;
    bool converted = false;
    QString unitText;
    double cutoff = 0.0;  // base units
    double span = 0.0;    // base units

    // netOilQuantity: 5 when net oil is measured by mass, 7 by volume.
    static OutputParameter read(ModbusLink &link, int code, int netOilQuantity);

    double shown(double base) const { return converted ? unit.fromBase(base) : base; }
    double base(double shown) const { return converted ? unit.toBase(shown) : shown; }
    // A figure per unit (pulses per unit) converts the other way round.
    double shownPerUnit(double perBase) const { return converted ? unit.toBase(perBase) : perBase; }
    double perBase(double perShown) const { return converted ? unit.fromBase(perShown) : perShown; }
};
