#include "UnitScanner.h"

#include "Clock.h"
#include "Codec.h"
#include "LineSilence.h"
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
// What a gateway answers for a unit it could not reach: the framing is right, the unit is not there.
constexpr int GatewayPathUnavailable = 10;
constexpr int GatewayTargetSilent = 11;

QString framingName(int framing)
{
    switch (framing) {
    case ModbusLink::Rtu: return QStringLiteral("RTU");
    case ModbusLink::Tcp: return QStringLiteral("TCP");
    default: return QStringLiteral("ASCII");
    }
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
    if (framing == ModbusLink::Tcp)
        return message.mid(ModbusFrame::MbapPrefix, 2);
    return QByteArray::fromHex(message.mid(1, 4));
}

QString textUpToNul(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.constData(), qsizetype(strnlen(bytes.constData(), size_t(bytes.size())))).trimmed();
}

} // namespace

namespace ScanWords {

namespace {
bool parseNumber(const QString &text, int min, int max, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *value = v;
    return true;
}
} // namespace

bool parseUnitIds(const QString &text, QList<int> *ids)
{
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList range = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (range.size() > 2 || !parseNumber(range.first(), 1, 247, &first) || !parseNumber(range.last(), first, 247, &last))
            return false;
        for (int id = first; id <= last; ++id)
            ids->append(id);
    }
    return true;
}

bool parseNumberList(const QString &text, int min, int max, QList<int> *out)
{
    for (const QString &part : text.split(QLatin1Char(','))) {
        int n = 0;
        if (!parseNumber(part, min, max, &n))
            return false;
        out->append(n);
    }
    return true;
}

} // namespace ScanWords

UnitScanner::UnitScanner(ModbusLink &link, QObject *parent) : QObject(parent), m_link(link) {}

UnitScanner::~UnitScanner()
{
    stop();
}

QList<int> UnitScanner::standardBauds()
{
    return {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200};
}

QList<int> UnitScanner::framingsOf(const ScanPlan &plan)
{
    if (!plan.framings.isEmpty())
        return plan.framings;
    if (plan.network)
        return {ModbusLink::Tcp, ModbusLink::Rtu, ModbusLink::Ascii};
    return {ModbusLink::Ascii, ModbusLink::Rtu};
}

QStringList UnitScanner::shapesFor(const ScanPlan &plan, int framing)
{
    const QList<char> parities = plan.parities.isEmpty() ? QList<char>{'N', 'E', 'O'} : plan.parities;
    const QList<int> stopBits = plan.stopBits.isEmpty() ? QList<int>{1} : plan.stopBits;
    // RTU needs 8 data bits; ASCII also runs on 7 (7E1 and 7O1 are the usual ones).
    QList<int> dataBits = plan.dataBits.isEmpty() ? QList<int>{8, 7} : plan.dataBits;
    if (framing == ModbusLink::Rtu)
        dataBits.removeAll(7);
    QStringList shapes;
    for (int bits : dataBits) {
        for (char parity : parities) {
            if (bits == 7 && plan.dataBits.isEmpty() && parity == 'N')
                continue;
            for (int stop : stopBits)
                shapes << QStringLiteral("%1,%2,%3").arg(QLatin1Char(parity)).arg(bits).arg(stop);
        }
    }
    return shapes;
}

namespace {

struct Setting {
    int framing;
    int baud;
    QString shape;
    bool operator==(const Setting &) const = default;
};

QList<Setting> settingsOf(const ScanPlan &plan)
{
    QList<Setting> settings;
    if (plan.network) {
        for (int framing : UnitScanner::framingsOf(plan))
            settings.append({framing, 0, QString()});
        return settings;
    }
    for (int baud : plan.bauds.isEmpty() ? UnitScanner::standardBauds() : plan.bauds) {
        for (int framing : UnitScanner::framingsOf(plan)) {
            for (const QString &shape : UnitScanner::shapesFor(plan, framing))
                settings.append({framing, baud, shape});
        }
    }
    return settings;
}

// The likely IDs at every setting first, then all the others, the settings where
// something answered leading.
QList<UnitScanner::Probe> orderedProbes(const ScanPlan &plan, const QList<Setting> &answered)
{
    QList<int> ids = plan.unitIds;
    if (ids.isEmpty()) {
        for (int id = 1; id <= 247; ++id)
            ids.append(id);
    }
    QList<int> likely;
    for (int id : UnitScanner::LikelyUnitIds) {
        if (ids.contains(id))
            likely.append(id);
    }
    QList<int> rest;
    for (int id : ids) {
        if (!likely.contains(id) && !rest.contains(id))
            rest.append(id);
    }
    const QList<Setting> all = settingsOf(plan);
    QList<Setting> sweep = answered;
    for (const Setting &s : all) {
        if (!sweep.contains(s))
            sweep.append(s);
    }
    QList<UnitScanner::Probe> probes;
    for (const Setting &s : all) {
        for (int id : likely)
            probes.append({s.framing, s.baud, id, s.shape});
    }
    for (const Setting &s : sweep) {
        for (int id : rest)
            probes.append({s.framing, s.baud, id, s.shape});
    }
    return probes;
}

} // namespace

QList<UnitScanner::Probe> UnitScanner::probeOrder(const ScanPlan &plan, const QList<Probe> &answeredAt)
{
    QList<Setting> answered;
    for (const Probe &p : answeredAt)
        answered.append({p.framing, p.baud, p.shape});
    return orderedProbes(plan, answered);
}

void UnitScanner::stop()
{
    m_stopRequested = true;
    if (m_wait)
        m_wait->quit();
}

bool UnitScanner::takeFound(const FoundUnit &unit, QList<FoundUnit> &found)
{
    for (FoundUnit &known : found) {
        if (known.unitId == unit.unitId && known.framing == unit.framing && known.tag == unit.tag) {
            known.alsoAnsweredAt.append(unit.lineSettings);
            if (known.lineSettings.section(QLatin1Char(','), 0, 0) != unit.lineSettings.section(QLatin1Char(','), 0, 0))
                m_baudIgnored = true;
            return false;
        }
    }
    found.append(unit);
    return true;
}

QList<FoundUnit> UnitScanner::run(const ScanPlan &asked)
{
    ScanPlan plan = asked;
    plan.network = m_link.onNetwork();
    m_stopRequested = false;
    m_baudIgnored = false;
    m_refused.clear();
    m_portError.clear();
    m_framingInUse = -1;
    m_saved = m_link.settings();
    m_linkWasOpen = m_link.portOpen();
    // The link must not take the scan's replies for its own.
    if (m_linkWasOpen)
        m_link.closePort();

    QList<FoundUnit> found;
    QSet<QString> refused;
    QList<Probe> answered;
    QList<Probe> probes = probeOrder(plan);
    qsizetype done = 0;
    bool reordered = false;
    for (; done < probes.size() && !m_stopRequested && m_portError.isEmpty(); ++done) {
        const Probe p = probes[done];
        const bool likely = std::find(std::begin(LikelyUnitIds), std::end(LikelyUnitIds), p.unitId) != std::end(LikelyUnitIds);
        // The first of the other IDs: the settings where something answered go first.
        if (!reordered && !likely && !answered.isEmpty()) {
            reordered = true;
            const QList<Probe> order = probeOrder(plan, answered);
            probes = probes.mid(0, done) + order.mid(done);
        }
        const Probe &q = probes[done];
        if (refused.contains(q.line()))
            continue;
        QStringList trying{framingName(q.framing), q.line(), QStringLiteral("unit %1").arg(q.unitId)};
        trying.removeAll(QString()); // a network port has no line of its own
        emit progress(int(done), int(probes.size()), trying.join(QLatin1Char(' ')));
        if (m_stopRequested)
            break;
        bool lineRefused = false;
        if (!usePort(q, &lineRefused)) {
            if (lineRefused)
                refused.insert(q.line());
            continue;
        }
        FoundUnit unit;
        unit.unitId = q.unitId;
        unit.framing = q.framing;
        unit.lineSettings = q.line();
        const Answer answer = probe(q, plan, &unit);
        if (answer != Answer::None)
            answered.append(q);
        if (answer != Answer::Unit || !takeFound(unit, found))
            continue;
        identify(&found.last());
        emit unitFound(found.last());
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

bool UnitScanner::usePort(const Probe &probe, bool *refused)
{
    SerialControl &serial = *m_link.serial();
    // A server that took another framing's bytes for its own may be out of step:
    // each framing gets a fresh connection.
    if (m_portOpen && probe.baud == 0 && m_framingInUse != probe.framing) {
        serial.close();
        m_portOpen = false;
    }
    if (!m_portOpen) {
        // Opened with the settings it has, so that a port that cannot be opened is
        // told apart from a line it refuses.
        QString error;
        if (!serial.open(m_saved.port, QString(), &error)) {
            m_portError = error;
            return false;
        }
        m_portOpen = true;
        m_line.clear();
    }
    m_framingInUse = probe.framing;
    return probe.baud == 0 || useLine(probe.baud, probe.shape, refused);
}

bool UnitScanner::useLine(int baud, const QString &shape, bool *refused)
{
    SerialControl &serial = *m_link.serial();
    const QString settings = QStringLiteral("%1,%2").arg(baud).arg(shape);
    QString error;
    if (m_line == settings)
        return true;
    if (!serial.applySettings(settings, &error)) {
        m_refused.append(QStringLiteral("%1: %2").arg(settings, error));
        *refused = true;
        m_line.clear();
        return false;
    }
    m_line = settings;
    return true;
}

UnitScanner::Answer UnitScanner::probe(const Probe &p, const ScanPlan &plan, FoundUnit *unit)
{
    const int framing = p.framing;
    const QByteArray frame = ModbusFrame::readHoldingRegisters(p.unitId, ProbeRegister, ProbeRegisters);
    m_transaction = uint16_t(m_transaction + 1);
    const QByteArray request = framing == ModbusLink::Tcp
                                   ? ModbusFrame::mbap(m_transaction, frame)
                                   : ModbusFrame::encode(ModbusFrame::withChecksum(frame, framing), framing);
    QByteArray message;
    if (p.baud == 0) {
        const int waitMs = m_saved.networkAllowanceMs + plan.replyMarginMs;
        message = exchange(request, framing, waitMs, waitMs);
    } else {
        LineSettings line;
        LineSettings::parse(p.line(), &line, nullptr);
        // RTU frames need their silent interval after the last byte of a reply.
        if (framing == ModbusLink::Rtu)
            pauseUntilUs(m_lastReceivedUs + LineSilence::interFrameGapUs(line));
        message = exchange(request, framing, wireMs(request.size(), line) + plan.replyMarginMs, plan.replyMarginMs);
    }
    if (message.isEmpty())
        return Answer::None;
    const ParsedReply reply = Parse_Reply(message, int(message.size()), framing, false);
    const QByteArray head = replyHead(message, framing);
    // A garbled reply is what a wrong baud rate produces; a reply from another
    // address or to another function is not an answer to this probe.
    if (reply.exception == GarbledReply || head.size() < 2)
        return Answer::None;
    // Another unit's reply, or a gateway saying the unit did not answer, still
    // says the framing and line are right.
    if (uint8_t(head[0]) != p.unitId || (uint8_t(head[1]) & 0x7F) != ReadHoldingRegisters
        || reply.exception == GatewayPathUnavailable || reply.exception == GatewayTargetSilent)
        return Answer::Other;
    unit->exception = reply.exception;
    unit->tag = textUpToNul(reply.data.left(2 * TransmitterIdentifier::TagLength));
    return Answer::Unit;
}

void UnitScanner::pauseUntilUs(qint64 atUs)
{
    const qint64 waitUs = atUs - Clock::instance().nowUs();
    if (waitUs <= 0 || m_stopRequested)
        return;
    QEventLoop loop;
    ClockTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &ClockTimer::timeout, &loop, &QEventLoop::quit);
    timer.startUs(waitUs);
    m_wait = &loop;
    loop.exec();
    m_wait = nullptr;
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
        m_lastReceivedUs = Clock::instance().nowUs();
        ReplyAssembler::Result result = assembler.feed(chunk);
        // A gateway's late answer to an earlier try (its own time-out may be longer
        // than ours) is not this try's: wait on for the reply with this transaction.
        while (result == ReplyAssembler::Complete && framing == ModbusLink::Tcp
               && assembler.message().left(2) != request.left(2))
            result = assembler.next();
        if (result == ReplyAssembler::Complete) {
            complete = true;
            loop.quit();
        } else if (received > ModbusFrame::MaxReplyChars) {
            loop.quit(); // a unit that streams is not answering
        } else {
            silence.start(gapMs);
        }
    });
    connect(&serial, &SerialControl::lostDevice, &loop, [&](const QString &reason) {
        // A network server may drop a connection that carried a framing it does not
        // speak: the next probe connects again, and says so if it cannot.
        if (!m_link.onNetwork())
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
    CommSettings atUnit = m_saved;
    if (!unit->lineSettings.isEmpty())
        atUnit.settings = unit->lineSettings;
    atUnit.framing = unit->framing;
    atUnit.unitId = unit->unitId;
    m_link.setSettings(atUnit);
    if (m_link.openPort()) {
        unit->model = TransmitterIdentifier::readModel(m_link);
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
