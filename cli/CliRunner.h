#pragma once

#include <QStringList>
#include <QTextStream>

class CommandTable;
class SerialControl;

// Runs one tarvine-cli invocation (arguments as in argv, program name first) on the
// given serial control: parses the options, opens the port, runs the command, closes
// the port. Returns the exit status (CliExit).
int runCli(const QStringList &arguments, SerialControl &serial, const CommandTable &commands, QTextStream &out,
           QTextStream &err);
