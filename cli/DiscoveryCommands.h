#pragma once

class CommandTable;

// ports: the serial ports of this machine. scan: find transmitters on --port.
void registerDiscoveryCommands(CommandTable &table);
