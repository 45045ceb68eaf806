#pragma once

class CommandTable;

// read, write, coils, coil: raw register and coil access.
void registerLinkCommands(CommandTable &table);
