#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

class ModbusLink;

// What a command works with: the open link and the two output streams (results go
// to out, every message to err). Long commands report their progress (a status
// text, the step and the number of steps) through progress when it is set.
struct CliContext {
    ModbusLink &link;
    QTextStream &out;
    QTextStream &err;
    std::function<void(const QString &text, int step, int steps)> progress = {};
};

// Exit statuses of tarvine-cli.
enum CliExit {
    ExitOk = 0,          // the transmitter answered without an exception
    ExitFailed = 1,      // no answer, an exception, or the port could not be opened
    ExitUsage = 2,       // the command line was wrong
};

// What a command does once the port is open; returns the exit status.
using CliAction = std::function<int(CliContext &)>;

// One command of tarvine-cli. Commands live in their own files and add themselves
// to the table through a registration function that main() calls. prepare checks the
// arguments before the port is opened: it returns the action, or an empty action after
// writing the reason to err (a usage error).
struct CliCommand {
    QString name;        // first word on the command line
    QString synopsis;    // e.g. "read START COUNT"
    QString description; // one line for --help
    int argumentCount;   // arguments after the name
    std::function<CliAction(const QStringList &arguments, QTextStream &err)> prepare;
    // Commands that take optional arguments accept up to this many; -1: exactly argumentCount.
    int maxArgumentCount = -1;
    // Whether the port is opened before the action runs; empty means always. Commands
    // that work on files, or open the port themselves, say no.
    std::function<bool(const QStringList &arguments)> needsPort = {};
    // Options only this command takes. When given, each reaches prepare as one more
    // argument "name=value" after the others.
    QList<QCommandLineOption> options = {};
    // Commands that write to the transmitter, or read the history, open the change
    // history (--history) into the link's session.
    bool usesHistory = false;
};

// What prepare returns when the command line is right but its input cannot be
// used (a file that cannot be loaded), after writing the reason to err: nothing is
// opened or sent, and the exit status is ExitFailed rather than ExitUsage.
CliAction failedInput();
bool isFailedInput(const CliAction &action);

class CommandTable {
public:
    void add(CliCommand command) { m_commands.append(std::move(command)); }
    const CliCommand *find(const QString &name) const;
    // The command list for --help.
    QString helpText() const;
    const QList<CliCommand> &commands() const { return m_commands; }

private:
    QList<CliCommand> m_commands;
};

// Parsing helpers shared by the commands. Numbers are decimal, or hexadecimal with 0x.
bool parseNumber(const QString &text, int min, int max, int *value);
// Hex digits (spaces and colons allowed between bytes) to bytes.
bool parseHexBytes(const QString &text, QByteArray *bytes);
// Reads make no sense as a broadcast (unit 0): says so and returns true.
bool refusedBroadcastRead(CliContext &c);
// What to try after the unit did not answer: the unit ID, framing, line and port
// used, and the scan command for that port.
QString noReplyAdvice(const ModbusLink &link);
// Reports how a request ended and gives the exit status.
int requestOutcome(CliContext &c, bool sent);
