#include "UnitScanner.h"

#include "Clock.h"
#include "Codec.h"
#include "ReplyAssembler.h"
#include "SerialControl.h"
#include "SerialSettingsText.h"
#include "Session.h"
#include "TransmitterIdentifier.h"

#include <QEventLoop>
#include <QSet>

#include <algorithm>
#include <cstring>

namespace {

constexpr int ReadHoldingRegisters = 3;
// Our code for a reply that failed its checksum or was malformed.
constexpr int GarbledReply = 12;

QString framingName(int framing)
{
    return framing == ModbusLink::Rtu ? QStringLiteral("RTU") : QStringLiteral("ASCII");
}

// Milliseconds the characters take on the wire with these line settings.
int wireMs(qsizetype characters, const LineSettings &line)
{
    const int bits = 1 + line.dataBits + (line.parity == 'N' ? 0 : 1) + line.stopBits;
    return int((characters * bits * 1000 + line.baud - 1) / line.baud);
}

// Address and function code of a reassembled reply (ASCII is hex text between
// ":" and the LRC and CR LF).
QByteArray replyHead(const QByteArray &message, int framing)
{
    if (framing == ModbusLink::Rtu)
        return message.left(2);
    return QByteArray::fromHex(message.mid(1, 4));
}

QString textUpToNul(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.constData(), qsizetype(strnlen(bytes.constData(), size_t(bytes.size())))).trimmed();
}

} // namespace

UnitScanner::UnitScanner(ModbusLink &link, QObject *parent) : QObject(parent), m_link(link) {}

UnitScanner::~UnitScanner()
{
    stop();
}

QList<int> UnitScanner::standardBauds()
{
    return {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200};
}

QList<UnitScanner::Probe> UnitScanner::probeOrder(const ScanPlan &plan)
{
    QList<int> ids = plan.unitIds;
    if (ids.isEmpty()) {
        for (int id = 1; id <= 247; ++id)
            ids.append(id);
    }
    QList<int> likely;
    for (int id : LikelyUnitIds) {
        if (ids.contains(id))
            likely.append(id);
    }
    QList<int> rest;
    for (int id : ids) {
        if (!likely.contains(id) && !rest.contains(id))
            rest.append(id);
    }
    const QList<int> bauds = plan.bauds.isEmpty() ? standardBauds() : plan.bauds;
    QList<Probe> probes;
    for (const QList<int> &group : {likely, rest}) {
        for (int baud : bauds) {
            for (int framing : plan.framings) {
                for (int id : group)
                    probes.append({framing, baud, id});
            }
        }
    }
    return probes;
}

void UnitScanner::stop()
{
    m_stopRequested = true;
    if (m_wait)
        m_wait->quit();
}

QList<FoundUnit> UnitScanner::run(const ScanPlan &plan)
{
    m_stopRequested = false;
    m_refused.clear();
    m_portError.clear();
    m_saved = m_link.settings();
    m_linkWasOpen = m_link.portOpen();
    // The link must not take the scan's replies for its own.
    if (m_linkWasOpen)
        m_link.closePort();

    QList<FoundUnit> found;
    QSet<int> refused;
    const QList<Probe> probes = probeOrder(plan);
    qsizetype done = 0;
    for (; done < probes.size() && !m_stopRequested && m_portError.isEmpty(); ++done) {
        const Probe &p = probes[done];
        if (refused.contains(p.baud))
            continue;
        const QString line = QStringLiteral("%1,%2").arg(p.baud).arg(plan.lineShape);
        emit progress(int(done), int(probes.size()),
                      QStringLiteral("%1 %2 unit %3").arg(framingName(p.framing), line).arg(p.unitId));
        if (m_stopRequested)
            break;
        bool baudRefused = false;
        if (!useLine(p.baud, plan.lineShape, &baudRefused)) {
            if (baudRefused)
                refused.insert(p.baud);
            continue;
        }
        FoundUnit unit;
        unit.unitId = p.unitId;
        unit.framing = p.framing;
        unit.lineSettings = line;
        if (probe(p.framing, p.unitId, p.baud, plan.replyMarginMs, &unit) != Answer::Unit)
            continue;
        identify(&unit);
        found.append(unit);
        emit unitFound(unit);
        if (plan.stopAtFirst) {
            ++done;
            break;
        }
    }
    // The last report says how far the scan got (all of it, unless it was stopped).
    emit progress(int(done), int(probes.size()), QString());
    restoreLink();
    return found;
}

bool UnitScanner::useLine(int baud, const QString &shape, bool *refused)
{
    SerialControl &serial = *m_link.serial();
    const QString settings = QStringLiteral("%1,%2").arg(baud).arg(shape);
    QString error;
    if (!m_portOpen) {
        // Opened with the settings it has, so that a port that cannot be opened is
        // told apart from a baud rate it refuses.
        if (!serial.open(m_saved.port, QString(), &error)) {
            m_portError = error;
            return false;
        }
        m_portOpen = true;
        m_baud = 0;
    }
    if (m_baud == baud)
        return true;
    if (!serial.applySettings(settings, &error)) {
        m_refused.append(QStringLiteral("%1: %2").arg(baud).arg(error));
        *refused = true;
        m_baud = 0;
        return false;
    }
    m_baud = baud;
    return true;
}

UnitScanner::Answer UnitScanner::probe(int framing, int unitId, int baud, int marginMs, FoundUnit *unit)
{
    const QByteArray request = ModbusFrame::encode(
        ModbusFrame::withChecksum(ModbusFrame::readHoldingRegisters(unitId, ProbeRegister, ProbeRegisters), framing),
        framing);
    LineSettings line;
    LineSettings::parse(unit->lineSettings, &line, nullptr);
    line.baud = baud;
    const QByteArray message = exchange(request, framing, wireMs(request.size(), line) + marginMs, marginMs);
    if (message.isEmpty())
        return Answer::None;
    const ParsedReply reply = Parse_Reply(message, int(message.size()), framing, false);
    const QByteArray head = replyHead(message, framing);
    // A garbled reply is what a wrong baud rate produces; a reply from another
    // address or to another function is not an answer to this probe.
    if (reply.exception == GarbledReply || head.size() < 2 || uint8_t(head[0]) != unitId
        || (uint8_t(head[1]) & 0x7F) != ReadHoldingRegisters)
        return Answer::None;
    unit->exception = reply.exception;
    unit->tag = textUpToNul(reply.data.left(2 * TransmitterIdentifier::TagLength));
    return Answer::Unit;
}

QByteArray UnitScanner::exchange(const QByteArray &request, int framing, int firstWaitMs, int gapMs)
{
    SerialControl &serial = *m_link.serial();
    serial.discardInput();
    if (!serial.write(request)) {
        m_portError = QStringLiteral("the port did not take the request");
        return {};
    }
    ReplyAssembler assembler;
    assembler.reset(framing);
    QEventLoop loop;
    ClockTimer silence;
    silence.setSingleShot(true);
    connect(&silence, &ClockTimer::timeout, &loop, &QEventLoop::quit);
    int received = 0;
    bool complete = false;
    // Line errors are what a wrong baud rate gives: they only end nothing.
    connect(&serial, &SerialControl::commEvent, &loop, [&](int event) {
        if (event != SerialControl::EvReceive)
            return;
        const QByteArray chunk = serial.readAll();
        received += int(chunk.size());
        if (assembler.feed(chunk) == ReplyAssembler::Complete) {
            complete = true;
            loop.quit();
        } else if (received > ModbusFrame::MaxReplyChars) {
            loop.quit(); // a unit that streams is not answering
        } else {
            silence.start(gapMs);
        }
    });
    connect(&serial, &SerialControl::lostDevice, &loop, [&](const QString &reason) {
        m_portError = reason;
        m_portOpen = false;
        loop.quit();
    });
    silence.start(firstWaitMs);
    m_wait = &loop;
    if (!m_stopRequested)
        loop.exec();
    m_wait = nullptr;
    return complete ? assembler.message() : QByteArray();
}

void UnitScanner::identify(FoundUnit *unit)
{
    // The model comes with the version query the program makes on every
    // connection; the link runs it, at the unit's settings.
    SerialControl &serial = *m_link.serial();
    serial.close();
    m_portOpen = false;
    const RegisterImage image = m_link.image();
    m_link.setSettings({m_saved.port, unit->lineSettings, unit->framing, unit->unitId});
    if (m_link.openPort()) {
        Session answers;
        TransmitterIdentifier identifier(m_link, answers);
        if (identifier.identify())
            unit->model = answers.deviceModel();
        m_link.closePort();
    }
    // What the program holds is not the found unit's business.
    m_link.image() = image;
}

void UnitScanner::restoreLink()
{
    SerialControl &serial = *m_link.serial();
    if (m_portOpen)
        serial.close();
    m_portOpen = false;
    // The port keeps the settings the program had, whether it reopens now or later.
    serial.applySettings(m_saved.settings, nullptr);
    m_link.setSettings(m_saved);
    if (m_linkWasOpen && !m_link.openPort(&m_portError))
        m_portError = QStringLiteral("the port could not be opened again: ") + m_portError;
}
