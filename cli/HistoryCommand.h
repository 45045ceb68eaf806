#pragma once

class CommandTable;

// history [--csv] [unit=TAG|SERIAL] [since=YYYY-MM-DD] [until=YYYY-MM-DD] [field=KEY]:
// the change history, one line per changed field, newest first.
void registerHistoryCommand(CommandTable &table);
