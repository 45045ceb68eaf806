#include "CliRunner.h"

#include "CliReporter.h"

#include "CommandTable.h"
#include "HistoryStore.h"
#include "ModbusLink.h"
#include "NetworkAddress.h"
#include "TrafficTrace.h"
#include "SerialControl.h"
#include "SerialSettingsText.h"
#include "Session.h"

#include <QCommandLineParser>
#include <QFile>

#include <memory>

namespace {

// A global option: its environment variable (so a script sets the port once) and
// its default, both named in --help.
QCommandLineOption globalOption(const QString &name, const QString &text, const QString &valueName,
                                const QString &defaultValue, const QString &defaultText = {})
{
    const QString variable = QStringLiteral("TARVINE_") + name.toUpper().replace(QLatin1Char('-'), QLatin1Char('_'));
    const QString fromEnvironment = qEnvironmentVariable(qPrintable(variable));
    const QString value = fromEnvironment.isEmpty() ? defaultValue : fromEnvironment;
    const QString shown = fromEnvironment.isEmpty() ? (defaultText.isEmpty() ? defaultValue : defaultText)
                                                    : fromEnvironment + QStringLiteral(" from ") + variable;
    return QCommandLineOption(name, QStringLiteral("%1 Default: %2 (environment: %3).").arg(text, shown, variable),
                              valueName, value);
}

struct Options {
    QCommandLineOption port = globalOption(QStringLiteral("port"), QStringLiteral("Serial port: 1..12 or a device path; or a network port "
                                                                         "HOST:PORT ([IPv6]:PORT) of a gateway or device server."),
                                           QStringLiteral("port"), QStringLiteral("1"),
                                           QStringLiteral("1 = /dev/ttyS0"));
    QCommandLineOption baud = globalOption(QStringLiteral("baud"), QStringLiteral("Baud rate."), QStringLiteral("rate"),
                                           QStringLiteral("9600"));
    QCommandLineOption parity = globalOption(QStringLiteral("parity"), QStringLiteral("Parity: N, O or E."),
                                             QStringLiteral("p"), QStringLiteral("N"));
    QCommandLineOption dataBits = globalOption(QStringLiteral("data-bits"), QStringLiteral("Data bits: 7 or 8."),
                                               QStringLiteral("n"), QStringLiteral("8"));
    QCommandLineOption stopBits = globalOption(QStringLiteral("stop-bits"), QStringLiteral("Stop bits: 1 or 2."),
                                               QStringLiteral("n"), QStringLiteral("1"));
    QCommandLineOption framing = globalOption(QStringLiteral("framing"), QStringLiteral("Modbus framing: ascii or rtu; on a network port also tcp "
                                                                                  "(Modbus TCP)."),
                                              QStringLiteral("mode"), QStringLiteral("ascii"));
    QCommandLineOption unit = globalOption(QStringLiteral("unit"),
                                           QStringLiteral("Unit ID of the transmitter (0..247; 0 broadcasts)."),
                                           QStringLiteral("id"), QStringLiteral("247"));
    QCommandLineOption delay = globalOption(QStringLiteral("delay"),
                                            QStringLiteral("Extra silence between frames in ms, for slow adapters."),
                                            QStringLiteral("ms"), QStringLiteral("0"));
    QCommandLineOption history = globalOption(QStringLiteral("history"),
                                              QStringLiteral("Change history file that writes are recorded in; off records nothing."),
                                              QStringLiteral("file"), HistoryStore::defaultPath());
    QCommandLineOption withoutHistory{QStringLiteral("go-on-without-history"),
                                      QStringLiteral("When the change history cannot be opened or written, write to the "
                                                     "transmitter all the same, without recording (otherwise the command "
                                                     "stops before it writes).")};
    QCommandLineOption networkAllowance = globalOption(
        QStringLiteral("network-allowance"),
        QStringLiteral("On a network port: what a reply may take beyond the no-response time-out, in ms."),
        QStringLiteral("ms"), QStringLiteral("1000"));
};

// Builds the link settings from the options; on a bad value says which and returns false.
bool settingsFrom(const QCommandLineParser &parser, const Options &o, CommSettings *s, QString *error)
{
    s->port = parser.value(o.port).trimmed();
    if (!SerialControl::portTextValid(s->port, error)) {
        *error = QStringLiteral("--port: ") + *error;
        return false;
    }
    const bool network = NetworkAddress::isNetworkText(s->port);
    const QString parity = parser.value(o.parity).left(1).toUpper();
    s->settings = QStringLiteral("%1,%2,%3,%4")
                      .arg(parser.value(o.baud), parity, parser.value(o.dataBits), parser.value(o.stopBits));
    if (!LineSettings::parse(s->settings, nullptr, error))
        return false;
    const QString framing = parser.value(o.framing).toLower();
    if (framing == QLatin1String("tcp") && !network) {
        *error = QStringLiteral("--framing tcp needs a network port (--port HOST:PORT)");
        return false;
    }
    if (framing != QLatin1String("ascii") && framing != QLatin1String("rtu") && framing != QLatin1String("tcp")) {
        *error = network ? QStringLiteral("--framing must be tcp, rtu or ascii") : QStringLiteral("--framing must be ascii or rtu");
        return false;
    }
    s->framing = framing == QLatin1String("tcp")   ? ModbusLink::Tcp
                 : framing == QLatin1String("rtu") ? ModbusLink::Rtu
                                                   : ModbusLink::Ascii;
    if (!parseNumber(parser.value(o.networkAllowance), 0, ModbusLink::MaxExtraSilenceMs, &s->networkAllowanceMs)) {
        *error = QStringLiteral("--network-allowance must be 0 to %1 milliseconds").arg(ModbusLink::MaxExtraSilenceMs);
        return false;
    }
    if (!parseNumber(parser.value(o.unit), 0, 247, &s->unitId)) {
        *error = QStringLiteral("--unit must be 0 to 247");
        return false;
    }
    if (!parseNumber(parser.value(o.delay), 0, ModbusLink::MaxExtraSilenceMs, &s->extraSilenceMs)) {
        *error = QStringLiteral("--delay must be 0 to %1 milliseconds").arg(ModbusLink::MaxExtraSilenceMs);
        return false;
    }
    return true;
}

// Where --trace sends the frames: nowhere, standard error (an empty file name) or a file.
struct TraceRequest {
    bool on = false;
    QString file;
};

// Takes --trace, --trace FILE and --trace=FILE out of the arguments: the parser knows
// no option with an optional value. A word after --trace is its file unless it is a
// command name or an option.
TraceRequest takeTraceOption(QStringList &arguments, const CommandTable &commands)
{
    TraceRequest trace;
    for (qsizetype i = 1; i < arguments.size();) {
        const QString &arg = arguments[i];
        if (arg.startsWith(QLatin1String("--trace="))) {
            trace = {true, arg.mid(8)};
            arguments.removeAt(i);
        } else if (arg == QLatin1String("--trace")) {
            trace = {true, {}};
            arguments.removeAt(i);
            if (i < arguments.size() && !arguments[i].startsWith(QLatin1Char('-')) && !commands.find(arguments[i]))
                trace.file = arguments.takeAt(i);
        } else if (arg == QLatin1String("--")) {
            break;
        } else {
            ++i;
        }
    }
    return trace;
}

} // namespace

QString versionText()
{
    return QStringLiteral("Tarvine 2 %1").arg(QStringLiteral(TARVINE_VERSION));
}

int runCli(const QStringList &givenArguments, SerialControl &serial, const CommandTable &commands, QTextStream &out,
           QTextStream &err, CliReporter *reporter)
{
    QStringList arguments = givenArguments;
    const TraceRequest traceRequest = takeTraceOption(arguments, commands);
    Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Talks Modbus with an Ostrel transmitter on a serial port."));
    parser.addOptions({o.port, o.baud, o.parity, o.dataBits, o.stopBits, o.framing, o.unit, o.delay, o.history,
                       o.withoutHistory, o.networkAllowance});
    for (const CliCommand &c : commands.commands())
        parser.addOptions(c.options);
    parser.addOption(QCommandLineOption(
        QStringLiteral("trace"), QStringLiteral("Write every frame (time, TX/RX, unit, function, address, count, bytes, "
                                                "outcome) to standard error; --trace FILE or --trace=FILE writes it to FILE.")));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and exit."));
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see Commands below)."),
                                 QStringLiteral("command [arguments...]"));
    if (!parser.parse(arguments)) {
        err << parser.errorText() << "\n";
        return ExitUsage;
    }
    if (parser.isSet(help)) {
        out << parser.helpText() << "\n" << commands.helpText();
        return ExitOk;
    }
    if (parser.isSet(version)) {
        out << versionText() << "\n";
        return ExitOk;
    }
    const QStringList positional = parser.positionalArguments();
    const CliCommand *command = positional.isEmpty() ? nullptr : commands.find(positional[0]);
    if (!command) {
        err << (positional.isEmpty() ? QStringLiteral("No command given.")
                                     : QStringLiteral("Unknown command \"%1\".").arg(positional[0]))
            << " Try --help.\n";
        return ExitUsage;
    }
    QStringList args = positional.mid(1);
    for (const CliCommand &other : commands.commands()) {
        for (const QCommandLineOption &option : other.options) {
            if (parser.isSet(option) && &other != command) {
                err << "--" << option.names().constFirst() << " is an option of " << other.name << " only.\n";
                return ExitUsage;
            }
        }
    }
    const int maxArguments = command->maxArgumentCount < 0 ? command->argumentCount : command->maxArgumentCount;
    if (args.size() < command->argumentCount || args.size() > maxArguments) {
        err << "Usage: " << command->synopsis << "\n";
        return ExitUsage;
    }
    for (const QCommandLineOption &option : command->options) {
        if (parser.isSet(option))
            args << option.names().constFirst() + QLatin1Char('=') + parser.value(option);
    }
    CommSettings settings;
    QString error;
    if (!settingsFrom(parser, o, &settings, &error)) {
        err << "Error when changing Port Settings: " << error << "\n";
        return ExitUsage;
    }
    const CliAction action = command->prepare(args, err);
    if (!action)
        return ExitUsage;
    if (isFailedInput(action))
        return ExitFailed;

    std::unique_ptr<QFile> traceFile;
    std::unique_ptr<QTextStream> traceStream;
    if (traceRequest.on && !traceRequest.file.isEmpty()) {
        traceFile = std::make_unique<QFile>(traceRequest.file);
        if (!traceFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            err << "Cannot write the trace to " << traceRequest.file << ": " << traceFile->errorString() << "\n";
            return ExitFailed;
        }
        traceStream = std::make_unique<QTextStream>(traceFile.get());
    }

    Session session;
    session.setLoggedIn(true);
    session.setAccessLevel(Session::Programmer); // the command line writes what it is told
    // A history that cannot be used stops the command before it writes, unless the
    // user said to go on without it.
    std::unique_ptr<HistoryStore> history;
    const bool goOnWithout = parser.isSet(o.withoutHistory);
    if (command->usesHistory && parser.value(o.history) != QLatin1String("off")) {
        history = HistoryStore::open(parser.value(o.history), &error);
        // A command that talks to no transmitter (history) writes nothing: the reason alone.
        const bool writes = !command->needsPort || command->needsPort(args);
        if (!history && (!goOnWithout || !writes)) {
            err << error
                << (writes ? " Nothing was sent; --go-on-without-history writes without recording, --history off "
                             "records nothing.\n"
                           : "\n");
            return ExitFailed;
        }
        if (!history)
            err << error << " Going on without history.\n";
        else
            history->setWhenUnwritable(goOnWithout ? HistoryStore::WhenUnwritable::GoOn
                                                   : HistoryStore::WhenUnwritable::Stop);
        session.setHistory(history.get());
    }
    ModbusLink link(&serial, &session);
    QObject::connect(&link, &ModbusLink::statusText, [&err, reporter](const QString &text) {
        if (reporter)
            reporter->note(text);
        else
            err << text << "\n";
    });
    link.setSettings(settings);
    std::unique_ptr<TrafficTrace> trace;
    if (traceRequest.on)
        trace = std::make_unique<TrafficTrace>(link, traceStream ? *traceStream : err);
    const bool needsPort = !command->needsPort || command->needsPort(args);
    if (needsPort && !link.openPort(&error)) {
        if (link.onNetwork())
            err << "Open Com Port Error: " << error << "\n";
        else
            err << "Open Com Port Error: Check unit, cabling, or " << error << "\n";
        return ExitFailed;
    }
    CliContext context{link, out, err};
    if (reporter)
        context.progress = [reporter](const QString &text, int step, int steps) { reporter->progress(text, step, steps); };
    const int status = action(context);
    link.closePort();
    if (reporter)
        reporter->finish();
    out.flush();
    err.flush();
    return status;
}
