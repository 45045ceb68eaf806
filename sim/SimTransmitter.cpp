#include "SimTransmitter.h"

#include "Clock.h"
#include "SimDevice.h"
#include "SimDownload.h"
#include "SimFileTable.h"
#include "SimRegisters.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace sim {

namespace {
// Modbus RTU's minimum inter-frame gap above 19200 baud.
constexpr double MinSilenceMs = 1.75;
// Continuous output keeps this much text queued ahead.
constexpr double StreamLeadMs = 100.0;
constexpr int StreamTickMs = 20;
constexpr uint8_t BroadcastUnit = 0;
} // namespace

SimTransmitter::SimTransmitter(SimDevice *device, QObject *parent)
    : QObject(parent), m_device(device), m_download(new SimDownload(device, this)), m_framer(SlaveFramer::create(device->comm().framing)),
      m_timer(new ClockTimer(this)), m_streamTimer(new ClockTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &ClockTimer::timeout, this, &SimTransmitter::pump);
    m_streamTimer->setInterval(StreamTickMs);
    connect(m_streamTimer, &ClockTimer::timeout, this, [this] {
        queueStreamLine();
        schedulePump();
    });
    connect(m_device, &SimDevice::commChanged, this, &SimTransmitter::onCommChanged);
    connect(m_device, &SimDevice::continuousOutput, this, [this](bool on) {
        m_protocolStreaming = on;
        setStreaming(m_faults.streaming || m_protocolStreaming);
    });
}

SimTransmitter::~SimTransmitter() = default;

double SimTransmitter::now() const
{
    return double(Clock::instance().nowUs()) / 1000.0;
}

double SimTransmitter::silentIntervalMs() const
{
    return m_device->comm().line.baud > 19200 ? MinSilenceMs : 3.5 * charMs();
}

double SimTransmitter::inputBacklogMs() const
{
    return std::max(0.0, m_rxEnd - now());
}

double SimTransmitter::charMs() const
{
    return m_device->comm().line.charMs();
}

int SimTransmitter::framing() const
{
    return m_mbap ? SlaveFramer::Tcp : m_device->comm().framing;
}

void SimTransmitter::setMbap(bool on)
{
    m_mbap = on;
    m_framer = SlaveFramer::create(framing());
    m_silenceAt = -1;
}

bool SimTransmitter::idle() const
{
    return m_inbox.isEmpty() && !m_framer->pending() && m_out.empty() && !m_pumpQueued;
}

void SimTransmitter::dropInput()
{
    m_inbox.clear();
    m_framer->reset();
    m_silenceAt = -1;
    if (!m_streaming)
        m_out.clear();
}

void SimTransmitter::setFaults(const Faults &faults)
{
    m_faults = faults;
    m_device->setStuckBusyCoil(faults.stuckBusyCoil);
    m_device->files().setRefuseDelete(faults.refuseDelete);
    if (faults.files >= 0)
        m_device->files().fillGenerated(faults.files);
    m_download->setDropAfter(faults.dropDownloadAfter);
    if (faults.osDownload && !m_download->active())
        m_download->enterFromPanel();
    setStreaming(m_faults.streaming || m_protocolStreaming);
}

void SimTransmitter::onCommChanged()
{
    if (m_framer->kind() != framing())
        m_framer = SlaveFramer::create(framing());
    else
        m_framer->reset();
    m_silenceAt = -1;
}

void SimTransmitter::setStreaming(bool on)
{
    if (on == m_streaming)
        return;
    m_streaming = on;
    m_out.clear();
    if (on) {
        m_streamTimer->start();
        queueStreamLine();
    } else {
        m_streamTimer->stop();
    }
    schedulePump();
}

void SimTransmitter::receive(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const double start = std::max(now(), m_rxEnd);
    m_rxEnd = start + (m_pacing ? bytes.size() * charMs() : 0.0);
    if (m_download->active()) {
        m_download->take(bytes, m_rxEnd);
        return;
    }
    const bool frameStarts = m_inbox.isEmpty() && !m_framer->pending();
    if (frameStarts && m_strictSilence && m_framer->kind() == SlaveFramer::Rtu) {
        m_earlyGapMs = start - m_replyEndedAt;
        m_frameStartedEarly = m_earlyGapMs < silentIntervalMs();
    }
    m_inbox += bytes;
    m_silenceAt = -1;
    schedulePump();
}

void SimTransmitter::pump()
{
    const double t = now();
    if (!m_inbox.isEmpty() && m_rxEnd <= t) {
        const QByteArray bytes = std::exchange(m_inbox, QByteArray());
        for (const SlaveRequest &r : m_framer->feed(bytes))
            handle(r, m_rxEnd);
        if (m_framer->kind() == SlaveFramer::Rtu && m_framer->pending())
            m_silenceAt = m_rxEnd + silentIntervalMs();
    }
    if (m_silenceAt >= 0 && m_silenceAt <= t && m_inbox.isEmpty()) {
        const double at = std::exchange(m_silenceAt, -1.0);
        for (const SlaveRequest &r : m_framer->silence())
            handle(r, at);
    }

    QByteArray chunk;
    bool replyEnded = false;
    while (!m_out.empty() && m_out.front().due <= t) {
        chunk += m_out.front().byte;
        replyEnded = replyEnded || m_out.front().endsReply;
        m_out.pop_front();
    }
    if (!chunk.isEmpty()) {
        m_lastEmit = t;
        if (replyEnded)
            m_replyEndedAt = t;
        emit transmit(chunk);
        if (replyEnded)
            m_device->runAfterReply();
    }
    schedulePump();
}

void SimTransmitter::schedulePump()
{
    double next = std::numeric_limits<double>::infinity();
    if (!m_inbox.isEmpty())
        next = m_rxEnd;
    if (m_silenceAt >= 0)
        next = std::min(next, m_silenceAt);
    if (!m_out.empty()) {
        // Hand bytes on in chunks, but never hold back the end of a reply or of a
        // segment before a pause.
        double runEnd = m_out.back().due;
        const double gap = 2.0 * charMs() + 0.001;
        for (size_t i = 0; i + 1 < m_out.size(); ++i) {
            if (m_out[i].endsReply || m_out[i + 1].due - m_out[i].due > gap) {
                runEnd = m_out[i].due;
                break;
            }
        }
        const double fire = std::min(std::max(m_out.front().due, m_lastEmit + OutputGranularityMs), runEnd);
        next = std::min(next, fire);
    }
    if (std::isinf(next)) {
        m_timer->stop();
        return;
    }
    const double delay = next - now();
    if (delay > 0) {
        m_timer->startUs(qint64(std::ceil(delay * 1000)));
        return;
    }
    // Due already: run from the event loop, never from inside the caller.
    m_timer->stop();
    if (!m_pumpQueued) {
        m_pumpQueued = true;
        QMetaObject::invokeMethod(this, [this] {
            m_pumpQueued = false;
            pump();
        }, Qt::QueuedConnection);
    }
}

void SimTransmitter::handle(const SlaveRequest &request, double arrivedAt)
{
    if (std::exchange(m_frameStartedEarly, false)) {
        ++m_earlyDropped;
        emit earlyRequestDropped(m_earlyGapMs, silentIntervalMs());
        return;
    }
    if (m_streaming || m_faults.noReply || m_device->silent())
        return;
    const QByteArray &pdu = request.pdu;
    const uint8_t function = pdu.isEmpty() ? 0 : uint8_t(pdu[0]);
    if (request.unit == BroadcastUnit) {
        // Every unit carries out a broadcast write and none answers; other broadcasts mean nothing.
        if (function == 5 || function == 16) {
            m_device->handle(pdu);
            m_device->runAfterReply();
        }
        return;
    }
    if (!m_device->answers(request.unit))
        return;
    QByteArray reply;
    if ((function == 3 || function == 16) && pdu.size() >= 5
        && m_faults.exceptionFor((uint8_t(pdu[1]) << 8) | uint8_t(pdu[2]), (uint8_t(pdu[3]) << 8) | uint8_t(pdu[4]))) {
        reply = SimDevice::exceptionPdu(function, uint8_t(m_faults.exceptionCode));
    } else {
        reply = m_device->handle(pdu);
    }
    QByteArray frame = m_framer->frameReply(request, reply);
    if (m_faults.corruptChecksum)
        m_framer->corruptChecksum(frame);
    double start = arrivedAt + m_turnaroundMs;
    if (!m_out.empty())
        start = std::max(start, m_out.back().due);
    queueReply(frame, start);
    ++m_repliesSent;
}

void SimTransmitter::queueReply(const QByteArray &frame, double start)
{
    const double perChar = m_pacing ? charMs() : 0.0;
    const int segments = std::clamp(m_faults.segments, 1, int(std::max<qsizetype>(1, frame.size())));
    double t = start;
    int sent = 0;
    for (int s = 0; s < segments; ++s) {
        const int end = int((frame.size() * qsizetype(s + 1)) / segments);
        for (; sent < end; ++sent) {
            t += perChar;
            m_out.push_back({t, frame[sent], sent == frame.size() - 1});
        }
        if (s + 1 < segments)
            t += m_faults.segmentGapMs;
    }
}

void SimTransmitter::queueStreamLine()
{
    const double t = now();
    const double lastDue = m_out.empty() ? t : m_out.back().due;
    if (lastDue > t + StreamLeadMs)
        return;
    // What a transmitter in continuous output mode prints: one line of live values.
    const RegisterImage &img = m_device->image();
    const QByteArray line = QStringLiteral("MASS %1 lb/s  TOTAL %2 lb  DENS %3 g/cc  TEMP %4 C\r\n")
                                .arg(img.f64Reg(reg::MassRate), 0, 'f', 3)
                                .arg(img.f64Reg(reg::MassTotal), 0, 'f', 2)
                                .arg(img.f64Reg(reg::Density), 0, 'f', 4)
                                .arg(img.f64Reg(reg::RtdTemp), 0, 'f', 2)
                                .toLatin1();
    const double perChar = m_pacing ? charMs() : 0.0;
    double due = std::max(t, lastDue);
    for (char c : line) {
        due += perChar;
        m_out.push_back({due, c, false});
    }
}

} // namespace sim
