#pragma once

class CommandTable;

// diff A B: the configuration fields that differ between two .cfg or .bin files
// or the connected unit ("unit").
void registerDiffCommand(CommandTable &table);
