#pragma once

#include "CommSettingsFile.h"

class ModbusLink;
class TransmitterIdentifier;

// The connection made once at program start: settings from TARVINE.INI, the port
// opened without the link's own refusal notices, and the transmitter identified
// when the port opened. Values of the file that could not be used are reported.
// Returns the settings in use.
PcCommSettings runStartupConnection(ModbusLink &link, CommSettingsFile &file, TransmitterIdentifier &identifier);
