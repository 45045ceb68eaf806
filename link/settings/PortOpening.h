#pragma once

#include "CommSettingsFile.h"

class ModbusLink;

// Opens the link's port with the PC settings (or applies them to a port that is
// already open). Every refusal is shown with the serial control's own reason; a
// failed open runs the close path, so the port is left closed. True when the port
// is open afterwards.
bool runOpeningSequence(ModbusLink &link, const PcCommSettings &pc);
