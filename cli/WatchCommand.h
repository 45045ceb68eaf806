#pragma once

class CommandTable;

// watch KEY... : the fields' values as CSV lines, one line per interval, until stopped.
void registerWatchCommand(CommandTable &table);
