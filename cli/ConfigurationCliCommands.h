#pragma once

class CommandTable;

// upload FILE, download FILE (.cfg or .bin), report FILE.pdf: whole configurations
// between the transmitter and files.
void registerConfigurationCommands(CommandTable &table);
