#pragma once

#include <QStringList>
#include <QTextStream>

class CliReporter;
class CommandTable;
class SerialControl;

// Runs one tarvine-cli invocation (arguments as in argv, program name first) on the
// given serial control: parses the options, opens the port, runs the command, closes
// the port. Returns the exit status (CliExit). With a reporter, the link's status
// texts and the commands' progress go through it (see CliReporter); without one,
// status texts are written to err as they come.
// "Tarvine 2 1.0.0": what all three programs answer to --version.
QString versionText();

int runCli(const QStringList &arguments, SerialControl &serial, const CommandTable &commands, QTextStream &out,
           QTextStream &err, CliReporter *reporter = nullptr);
