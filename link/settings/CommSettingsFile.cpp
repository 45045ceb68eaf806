#include "NetworkAddress.h"
#include "CommSettingsFile.h"

#include <algorithm>

const QString CommSettingsFile::FileName = QStringLiteral("TARVINE.INI");
const QString CommSettingsFile::Section = QStringLiteral("Comm Settings");

QString PcCommSettings::settingsText() const
{
    return baudRate + QLatin1Char(',') + parity.left(1) + QLatin1Char(',') + dataBits + QLatin1Char(',') + stopBits;
}

bool PcCommSettings::setLine(const QString &settings)
{
    LineSettings line;
    if (!LineSettings::parse(settings, &line, nullptr))
        return false;
    baudRate = QString::number(line.baud);
    const QStringList parityNames = CommLists::parities();
    for (const QString &name : parityNames) {
        if (name.startsWith(QLatin1Char(line.parity)))
            parity = name;
    }
    dataBits = QString::number(line.dataBits);
    stopBits = QString::number(line.stopBits);
    return true;
}

CommSettings PcCommSettings::linkSettings() const
{
    CommSettings s;
    s.port = port;
    s.settings = settingsText();
    s.framing = framing;
    s.unitId = unitId;
    s.extraSilenceMs = extraSilenceMs;
    return s;
}

namespace CommLists {
QStringList ports()
{
    QStringList list;
    for (int i = 1; i <= 12; ++i)
        list << QString::number(i);
    return list;
}
QStringList baudRates()
{
    return {QStringLiteral("110"),   QStringLiteral("300"),   QStringLiteral("600"),   QStringLiteral("1200"),
            QStringLiteral("2400"),  QStringLiteral("4800"),  QStringLiteral("9600"),  QStringLiteral("14400"),
            QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")};
}
QStringList parities()
{
    return {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even")};
}
QStringList dataBits()
{
    return {QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
}
QStringList stopBits()
{
    return {QStringLiteral("1"), QStringLiteral("2")};
}
QStringList flowControls()
{
    return {QStringLiteral("None"), QStringLiteral("XON/OFF"), QStringLiteral("DTR"), QStringLiteral("BUSY")};
}
QStringList protocols()
{
    return {QStringLiteral("None"),   QStringLiteral("Raw DSP"),      QStringLiteral("Quillmoor"),
            QStringLiteral("QuillmoorNoAddr"), QStringLiteral("ContinuousAC"), QStringLiteral("ContinuousRH"),
            QStringLiteral("Modbus")};
}
QStringList modes()
{
    return {QStringLiteral("ASCII"), QStringLiteral("RTU")};
}

std::optional<QString> lineFromSciBytes(const QByteArray &sci)
{
    if (sci.size() < SciBytes)
        return std::nullopt;
    const auto item = [&sci](int byte, const QStringList &list) { return list.value(quint8(sci[byte])); };
    const QString baud = item(SciBaudByte, baudRates()), parity = item(SciParityByte, parities()),
                  data = item(SciDataBitsByte, dataBits()), stop = item(SciStopBitsByte, stopBits());
    if (baud.isEmpty() || parity.isEmpty() || data.isEmpty() || stop.isEmpty())
        return std::nullopt;
    return baud + QLatin1Char(',') + parity.left(1) + QLatin1Char(',') + data + QLatin1Char(',') + stop;
}

bool lineToSciBytes(const QString &line, QByteArray *sci)
{
    LineSettings parsed;
    if (sci->size() < SciBytes || !LineSettings::parse(line, &parsed, nullptr))
        return false;
    int parity = -1;
    const QStringList parityNames = parities();
    for (int i = 0; i < parityNames.size(); ++i)
        if (parityNames[i].startsWith(QLatin1Char(parsed.parity)))
            parity = i;
    const int positions[] = {int(baudRates().indexOf(QString::number(parsed.baud))), parity,
                             int(dataBits().indexOf(QString::number(parsed.dataBits))),
                             int(stopBits().indexOf(QString::number(parsed.stopBits)))};
    if (std::find(std::begin(positions), std::end(positions), -1) != std::end(positions))
        return false;
    (*sci)[SciBaudByte] = char(positions[0]);
    (*sci)[SciParityByte] = char(positions[1]);
    (*sci)[SciDataBitsByte] = char(positions[2]);
    (*sci)[SciStopBitsByte] = char(positions[3]);
    return true;
}
} // namespace CommLists

int parseUnitId(const QString &text, QString *message)
{
    bool ok = false;
    const qlonglong id = text.trimmed().toLongLong(&ok);
    QString problem;
    if (ok && (id < 0 || id > 247))
        problem = QStringLiteral("Unit ID not in range of 0 to 247.");
    else if (!ok)
        problem = QStringLiteral("Unit ID must be numeric (0 to 247) and not null.");
    if (message)
        *message = problem;
    return problem.isEmpty() ? int(id) : -1;
}

CommSettingsFile::CommSettingsFile(const QString &workDir) : m_ini(workDir, FileName) {}

PcCommSettings CommSettingsFile::load(QStringList *ignored) const
{
    PcCommSettings s;
    const PcCommSettings defaults;
    auto note = [&](const QString &text) {
        if (ignored)
            ignored->append(text);
    };
    if (m_ini.exists() && !m_ini.hasSection(Section))
        note(QStringLiteral("%1 has no [%2] section; the default communication settings are used.")
                 .arg(FileName, Section));
    auto value = [&](const char *key, const QString &def) {
        return m_ini.readString(Section, QLatin1String(key), def);
    };

    s.port = value("Port", defaults.port);
    const bool portNumber = CommLists::ports().contains(s.port);
    const bool network = NetworkAddress::isNetworkText(s.port) && NetworkAddress::parse(s.port).has_value();
    if (!portNumber && !network && !s.port.startsWith(QLatin1Char('/'))) {
        note(QStringLiteral("Port \"%1\" in %2 ignored: not a port 1 to 12, a device path or HOST:PORT; port %3 is used.")
                 .arg(s.port, FileName, defaults.port));
        s.port = defaults.port;
    }
    s.baudRate = value("BaudRate", defaults.baudRate);
    s.parity = value("ParityBits", defaults.parity);
    s.dataBits = value("DataBits", defaults.dataBits);
    s.stopBits = value("StopBits", defaults.stopBits);
    s.flowControl = value("FlowControl", defaults.flowControl);
    s.modeText = value("Mode", defaults.modeText);
    s.protocol = value("Protocol", defaults.protocol);
    // Only the exact text selects ASCII, as the file has always been read.
    s.framing = s.modeText == QLatin1String("ASCII") ? 0 : 1;
    // Modbus TCP only on a network port; a serial port keeps reading it as RTU.
    if (s.modeText == QLatin1String("TCP") && network)
        s.framing = 2;

    const QString delayText = value("Delay", QString::number(defaults.extraSilenceMs));
    bool delayOk = false;
    const int delay = delayText.toInt(&delayOk);
    if (delayOk && delay >= 0 && delay <= ModbusLink::MaxExtraSilenceMs) {
        s.extraSilenceMs = delay;
    } else {
        note(QStringLiteral("Delay \"%1\" in %2 ignored: not a number of milliseconds from 0 to %3; %4 is used.")
                 .arg(delayText, FileName)
                 .arg(ModbusLink::MaxExtraSilenceMs)
                 .arg(defaults.extraSilenceMs));
    }

    const QString idText = value("ID", QString::number(defaults.unitId));
    QString problem;
    const int id = parseUnitId(idText, &problem);
    if (id < 0) {
        note(QStringLiteral("ID \"%1\" in %2 ignored: %3 Unit ID %4 is used.")
                 .arg(idText, FileName, problem, QString::number(defaults.unitId)));
    } else {
        s.unitId = id;
    }
    return s;
}

bool CommSettingsFile::save(const PcCommSettings &s, QString *error)
{
    const std::pair<const char *, QString> entries[] = {
        {"Port", s.port},
        {"BaudRate", s.baudRate},
        {"ParityBits", s.parity},
        {"DataBits", s.dataBits},
        {"StopBits", s.stopBits},
        {"FlowControl", QStringLiteral("None")},
        {"Mode", s.framing == 0 ? QStringLiteral("ASCII") : s.framing == 2 ? QStringLiteral("TCP") : QStringLiteral("RTU")},
        {"Protocol", QStringLiteral("Modbus")},
        {"ID", QString::number(s.unitId)},
    };
    for (const auto &[key, text] : entries) {
        if (!m_ini.writeString(Section, QLatin1String(key), text, error))
            return false;
    }
    const QString delayKey = QStringLiteral("Delay");
    const bool delayInFile = !m_ini.readString(Section, delayKey, QString()).isEmpty();
    if (s.extraSilenceMs != 0 || delayInFile)
        return m_ini.writeString(Section, delayKey, QString::number(s.extraSilenceMs), error);
    return true;
}

bool CommSettingsFile::saveUnitId(int unitId, QString *error)
{
    return m_ini.writeString(Section, QStringLiteral("ID"), QString::number(unitId), error);
}
