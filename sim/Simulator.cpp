#include "Simulator.h"

#include "DefaultImage.h"
#include "SimDevice.h"
#include "SimProcess.h"
#include "SimTransmitter.h"
#include "SimWellTest.h"

#include "NetworkAddress.h"

#include <QCommandLineParser>

namespace sim {

Simulator::Simulator(const SimOptions &options, QObject *parent)
    : QObject(parent), m_device(new SimDevice(defaultConfigurationImage(), this)),
      m_process(new SimProcess(m_device, this)), m_transmitter(new SimTransmitter(m_device, this))
{
    m_device->setComm(options.comm);
    m_device->setModelLetter(options.modelLetter);
    if (options.dumpSeconds != DefaultDumpSeconds)
        registerWellTestCommands(*m_device, options.dumpSeconds);
    m_transmitter->setPacing(options.pacing);
    m_transmitter->setTurnaroundMs(options.turnaroundMs);
    m_transmitter->setStrictSilence(options.strictSilence);
    m_transmitter->setFaults(options.faults);
    m_transmitter->setMbap(options.mbap);
    m_process->seedLogs();
    if (options.liveValues)
        m_process->start();
}

Simulator::~Simulator() = default;

bool SimOptions::parse(const QStringList &arguments, SimOptions *out, QString *error, QString *help)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated transmitter: serves Modbus ASCII or RTU on a pseudo-terminal, or with --tcp ASCII, RTU or Modbus TCP on a TCP port, until stopped.\n"
        "While it runs, each line typed on standard input replaces the active faults, in the syntax of the fault "
        "options below (for example \"--split 3:40 --bad-checksum\"); an empty line or \"clear\" switches every fault off."));
    const QCommandLineOption helpOpt(QStringList{"h", "help"}, QStringLiteral("Show this help."));
    const QCommandLineOption versionOpt(QStringList{"v", "version"}, QStringLiteral("Print the version and exit."));
    const QCommandLineOption unit("unit", QStringLiteral("Unit ID, 0..247 (default 247)."), "id", "247");
    const QCommandLineOption framing("framing", QStringLiteral("ascii or rtu (default ascii); tcp (Modbus TCP) with --tcp."), "mode", "ascii");
    const QCommandLineOption tcp("tcp", QStringLiteral("Serve on a TCP port instead of a pseudo-terminal, on 127.0.0.1 unless a "
                                                       "host is named (0.0.0.0 reaches every interface: only on a closed network)."),
                                 "[host:]port");
    const QCommandLineOption baud("baud", QStringLiteral("Line settings, e.g. 9600 or 19200,E,8,1."), "settings", "9600,N,8,1");
    const QCommandLineOption pace("pace", QStringLiteral("on: pace output at the baud rate (default); off: answer at once."), "on|off", "on");
    const QCommandLineOption turnaround("turnaround", QStringLiteral("Delay before each reply."), "ms", "0");
    const QCommandLineOption strict("strict-silence", QStringLiteral("Drop an RTU request that starts less than 3.5 characters (1.75 ms above 19200 baud) after the reply before it ended."));
    const QCommandLineOption model("model", QStringLiteral("Ostrel (default) or KRM410."), "name", "Ostrel");
    const QCommandLineOption dumpSeconds("dump-seconds", QStringLiteral("Seconds per dump of a well test's purge (default 10)."), "s", "10");
    const QCommandLineOption still("no-live", QStringLiteral("Keep process values still."));
    const QCommandLineOption link("link", QStringLiteral("Make a symbolic link to the pseudo-terminal."), "path");
    const QCommandLineOption noReply("no-reply", QStringLiteral("Fault: answer nothing."));
    const QCommandLineOption exception("exception", QStringLiteral("Fault: answer register requests touching FIRST..LAST with exception CODE."), "code:first-last");
    const QCommandLineOption badChecksum("bad-checksum", QStringLiteral("Fault: spoil the checksum of every reply."));
    const QCommandLineOption split("split", QStringLiteral("Fault: send replies in N pieces with GAP ms between them."), "n:gap");
    const QCommandLineOption stream("stream", QStringLiteral("Fault: continuous output instead of replies."));
    const QCommandLineOption stuck("stuck-busy", QStringLiteral("Fault: this command coil stays Busy."), "coil");
    const QCommandLineOption files("files", QStringLiteral("Fault: the file system holds N generated files (more than 24 do not fit one directory reply)."), "n");
    const QCommandLineOption refuseDelete("refuse-delete", QStringLiteral("Fault: refuse every file delete."));
    const QCommandLineOption dropDownload("drop-download", QStringLiteral("Fault: the line drops after N bytes of a firmware download."), "n");
    const QCommandLineOption osDownload("os-download", QStringLiteral("Enter download mode now, as the front panel does for an OS download."));
    p.addOptions({helpOpt, versionOpt, unit, framing, tcp, baud, pace, turnaround, strict, model, dumpSeconds, still, link, noReply, exception, badChecksum, split,
                  stream, stuck, files, refuseDelete, dropDownload, osDownload});

    *error = QString();
    if (!p.parse(arguments)) {
        *error = p.errorText();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("Unexpected argument: %1").arg(p.positionalArguments().first());
        return false;
    }
    if (p.isSet(helpOpt)) {
        if (help)
            *help = p.helpText();
        return false;
    }

    SimOptions o;
    bool ok = false;
    o.comm.unitId = p.value(unit).toInt(&ok);
    if (!ok || o.comm.unitId < 0 || o.comm.unitId > 247) {
        *error = QStringLiteral("--unit must be a number from 0 to 247.");
        return false;
    }
    const QString f = p.value(framing).toLower();
    if (p.isSet(tcp)) {
        QString text = p.value(tcp).trimmed();
        if (!text.contains(':'))
            text = QStringLiteral("127.0.0.1:") + text;
        // Port 0: the system picks a free one, and the first line says which.
        const bool anyPort = text.endsWith(QLatin1String(":0"));
        if (anyPort)
            text.back() = QLatin1Char('1');
        std::optional<NetworkAddress> address = NetworkAddress::parse(text, error);
        if (address && anyPort)
            address->port = 0;
        if (!address) {
            *error = QStringLiteral("--tcp: ") + *error;
            return false;
        }
        o.serveTcp = true;
        o.tcpHost = address->host;
        o.tcpPort = address->port;
    }
    if (f != "ascii" && f != "rtu" && !(f == "tcp" && o.serveTcp)) {
        *error = o.serveTcp ? QStringLiteral("--framing must be tcp, ascii or rtu.")
                            : QStringLiteral("--framing must be ascii or rtu (tcp needs --tcp).");
        return false;
    }
    o.comm.framing = f == "rtu" ? 1 : 0;
    o.mbap = f == "tcp";
    QString lineText = p.value(baud);
    if (!lineText.contains(','))
        lineText += QStringLiteral(",N,8,1");
    if (!LineSettings::parse(lineText, &o.comm.line)) {
        *error = QStringLiteral("--baud must look like 9600 or 9600,N,8,1.");
        return false;
    }
    const QString paceText = p.value(pace).toLower();
    if (paceText != "on" && paceText != "off") {
        *error = QStringLiteral("--pace must be on or off.");
        return false;
    }
    o.pacing = paceText == "on";
    o.turnaroundMs = p.value(turnaround).toInt(&ok);
    if (!ok || o.turnaroundMs < 0 || o.turnaroundMs > 60000) {
        *error = QStringLiteral("--turnaround must be a number of milliseconds up to 60000.");
        return false;
    }
    o.strictSilence = p.isSet(strict);
    const QString m = p.value(model).toUpper();
    if (m != "OSTREL" && m != "KRM410") {
        *error = QStringLiteral("--model must be Ostrel or KRM410.");
        return false;
    }
    o.modelLetter = m == "KRM410" ? 'R' : 'N';
    o.dumpSeconds = p.value(dumpSeconds).toInt(&ok);
    if (!ok || o.dumpSeconds < 1 || o.dumpSeconds > 3600) {
        *error = QStringLiteral("--dump-seconds must be a number from 1 to 3600.");
        return false;
    }
    o.liveValues = !p.isSet(still);
    o.linkPath = p.value(link);
    o.faults.noReply = p.isSet(noReply);
    if (p.isSet(exception) && !o.faults.setException(p.value(exception))) {
        *error = QStringLiteral("--exception must look like 2:600-620.");
        return false;
    }
    o.faults.corruptChecksum = p.isSet(badChecksum);
    if (p.isSet(split) && !o.faults.setSplit(p.value(split))) {
        *error = QStringLiteral("--split must look like 3:40 (pieces, gap in ms).");
        return false;
    }
    o.faults.streaming = p.isSet(stream);
    if (p.isSet(stuck)) {
        o.faults.stuckBusyCoil = p.value(stuck).toInt(&ok);
        if (!ok || o.faults.stuckBusyCoil < 0 || o.faults.stuckBusyCoil > 87) {
            *error = QStringLiteral("--stuck-busy must be a coil number from 0 to 87.");
            return false;
        }
    }
    if (p.isSet(files)) {
        o.faults.files = p.value(files).toInt(&ok);
        if (!ok || o.faults.files < 0 || o.faults.files > 1000) {
            *error = QStringLiteral("--files must be a number from 0 to 1000.");
            return false;
        }
    }
    o.faults.refuseDelete = p.isSet(refuseDelete);
    if (p.isSet(dropDownload)) {
        o.faults.dropDownloadAfter = p.value(dropDownload).toLongLong(&ok);
        if (!ok || o.faults.dropDownloadAfter < 0) {
            *error = QStringLiteral("--drop-download must be a number of bytes.");
            return false;
        }
    }
    o.faults.osDownload = p.isSet(osDownload);
    if (o.serveTcp && !o.linkPath.isEmpty()) {
        *error = QStringLiteral("--link names a pseudo-terminal: it does not go with --tcp.");
        return false;
    }
    *out = o;
    return true;
}

} // namespace sim
