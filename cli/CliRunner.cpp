#include "CliRunner.h"

#include "CliReporter.h"

#include "CommandTable.h"
#include "ModbusLink.h"
#include "SerialControl.h"
#include "SerialSettingsText.h"
#include "Session.h"

#include <QCommandLineParser>

namespace {

struct Options {
    QCommandLineOption port{QStringLiteral("port"), QStringLiteral("Serial port: 1..12 or a device path."),
                            QStringLiteral("port"), QStringLiteral("1")};
    QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("Baud rate."), QStringLiteral("rate"),
                            QStringLiteral("9600")};
    QCommandLineOption parity{QStringLiteral("parity"), QStringLiteral("Parity: N, O or E."), QStringLiteral("p"),
                              QStringLiteral("N")};
    QCommandLineOption dataBits{QStringLiteral("data-bits"), QStringLiteral("Data bits: 7 or 8."),
                                QStringLiteral("n"), QStringLiteral("8")};
    QCommandLineOption stopBits{QStringLiteral("stop-bits"), QStringLiteral("Stop bits: 1 or 2."),
                                QStringLiteral("n"), QStringLiteral("1")};
    QCommandLineOption framing{QStringLiteral("framing"), QStringLiteral("Modbus framing: ascii or rtu."),
                               QStringLiteral("mode"), QStringLiteral("ascii")};
    QCommandLineOption unit{QStringLiteral("unit"), QStringLiteral("Unit ID of the transmitter (0..247)."),
                            QStringLiteral("id"), QStringLiteral("247")};
};

// Builds the link settings from the options; on a bad value says which and returns false.
bool settingsFrom(const QCommandLineParser &parser, const Options &o, CommSettings *s, QString *error)
{
    s->port = parser.value(o.port);
    const QString parity = parser.value(o.parity).left(1).toUpper();
    s->settings = QStringLiteral("%1,%2,%3,%4")
                      .arg(parser.value(o.baud), parity, parser.value(o.dataBits), parser.value(o.stopBits));
    if (!LineSettings::parse(s->settings, nullptr, error))
        return false;
    const QString framing = parser.value(o.framing).toLower();
    if (framing != QLatin1String("ascii") && framing != QLatin1String("rtu")) {
        *error = QStringLiteral("--framing must be ascii or rtu");
        return false;
    }
    s->framing = framing == QLatin1String("rtu") ? ModbusLink::Rtu : ModbusLink::Ascii;
    if (!parseNumber(parser.value(o.unit), 0, 247, &s->unitId)) {
        *error = QStringLiteral("--unit must be 0 to 247");
        return false;
    }
    return true;
}

} // namespace

int runCli(const QStringList &arguments, SerialControl &serial, const CommandTable &commands, QTextStream &out,
           QTextStream &err, CliReporter *reporter)
{
    Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Talks Modbus with an Ostrel transmitter on a serial port."));
    parser.addOptions({o.port, o.baud, o.parity, o.dataBits, o.stopBits, o.framing, o.unit});
    for (const CliCommand &c : commands.commands())
        parser.addOptions(c.options);
    const QCommandLineOption help = parser.addHelpOption();
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

    Session session;
    session.setLoggedIn(true);
    session.setAccessLevel(Session::Programmer); // the command line writes what it is told
    ModbusLink link(&serial, &session);
    QObject::connect(&link, &ModbusLink::statusText, [&err, reporter](const QString &text) {
        if (reporter)
            reporter->note(text);
        else
            err << text << "\n";
    });
    link.setSettings(settings);
    const bool needsPort = !command->needsPort || command->needsPort(args);
    if (needsPort && !link.openPort(&error)) {
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
