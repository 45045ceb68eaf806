#include "ModbusLink.h"

#include "Clock.h"
#include "Codec.h"
#include "CommandArea.h"
#include "LineSilence.h"
#include "NetworkAddress.h"
#include "Prompter.h"
#include "ReplyAssembler.h"
#include "SerialControl.h"
#include "SerialSettingsText.h"
#include "Session.h"
#include "TraceLog.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

const QString ReceiveFailure = QStringLiteral("Receive Failure");
// Boxes with no title of their own carry the application title.
const QString ProgramTitle = QStringLiteral("Tarvine 2");
constexpr unsigned FailureButtons = Prompter::OK | Prompter::Help;
constexpr int FailureHelpContext = 999;

// The handshake coils and the coils that run without it.
constexpr int BusyCoil = 81;
constexpr int ReadyCoil = 83;
constexpr std::array<int, 9> HandshakeSkipSet = {40, 41, 79, 80, 81, 82, 83, 86, 87};

constexpr int TagRegister = 578;
constexpr int TagByteOffset = 1156;
constexpr int TagMaxChars = 19;
constexpr int SizeFormatsRegister = 635;
// The exception code of a reply whose checksum failed or that was malformed.
constexpr int ChecksumFailure = 12;
constexpr uint8_t BroadcastUnit = 0;
const QString CorruptReplyText = QStringLiteral("Checksum or framing error in the reply");

bool skipsHandshake(int coil)
{
    return std::find(HandshakeSkipSet.begin(), HandshakeSkipSet.end(), coil) != HandshakeSkipSet.end();
}

QString lineErrorText(int event)
{
    switch (event) {
    case SerialControl::EvBreak: return QStringLiteral("A Break was received\r");
    case SerialControl::EvFrame: return QStringLiteral("Got a Framing Error\r");
    case SerialControl::EvOverrun: return QStringLiteral("Data Lost, EventOverrun\r");
    case SerialControl::EvRxOver: return QStringLiteral("Receive buffer overflow.\r");
    case SerialControl::EvRxParity: return QStringLiteral("Got a Parity Error\r");
    case SerialControl::EvTxFull: return QStringLiteral("Transmit buffer full\r");
    case SerialControl::EvDcb: return QStringLiteral("Unexpected error retrieving DCB\r");
    default: return {};
    }
}

} // namespace

// One request: the reply it expects and what it got. It lives on the stack of its
// Send_Frame, so a request made while this one's caller has not yet resumed (from a
// window opened during the wait) cannot change what this caller sees.
struct ModbusLink::Reply {
    bool msgComplete = false;
    uint16_t rxLen = 0;
    int exception = 0;
    bool corrupt = false;
    bool decoded = false;
    QByteArray data;
    QByteArray received;
};

struct ModbusLink::Request {
    ReplyShape shape;
    QEventLoop loop;
    bool ended = false;
    Reply reply;
};

struct ModbusLink::Impl {
    ClockTimer noResponse;
    // However often bytes re-arm the no-response timer, a request ends by this.
    ClockTimer deadline;
    // Ends a wait for the silent interval before a request.
    ClockTimer quiet;
    LineSilence silence;
    ReplyAssembler assembler;
    Request *request = nullptr; // the request waiting for its reply
    Request *waitingForQuiet = nullptr;
    QByteArray tracedRequest; // the request frame outcomes are traced against
    QByteArray frameData;      // data bytes of the last decoded reply
    bool replyDecoded = false; // false when the override left the reply undecoded
    // Characters that belonged to no reply (arrived with no request outstanding,
    // were discarded before a request, or were noise) since the last good reply.
    // With the reply being collected, more than a reply can hold means the unit is
    // streaming.
    int strayTotal = 0;
    int transferLimit = MaxTransferBytes;
    bool txOn = false;
    // Modbus TCP: the transaction ID of the last request sent.
    uint16_t transaction = 0;
    // A network connection dropped: the next request connects again.
    bool reconnect = false;
};

ModbusLink::ModbusLink(SerialControl *serial, Session *session, QObject *parent)
    : QObject(parent), d(new Impl), m_serial(serial), m_session(session)
{
    Q_ASSERT(serial && session);
    d->noResponse.setSingleShot(true);
    d->noResponse.setInterval(NoResponseMs);
    connect(&d->noResponse, &ClockTimer::timeout, this, &ModbusLink::onNoResponse);
    d->deadline.setSingleShot(true);
    connect(&d->deadline, &ClockTimer::timeout, this, &ModbusLink::onNoResponse);
    d->quiet.setSingleShot(true);
    connect(&d->quiet, &ClockTimer::timeout, this, [this] {
        if (d->waitingForQuiet)
            d->waitingForQuiet->loop.quit();
    });
    connect(m_serial, &SerialControl::commEvent, this, &ModbusLink::onCommEvent);
    connect(m_serial, &SerialControl::lostDevice, this, &ModbusLink::onLostDevice);
}

ModbusLink::~ModbusLink()
{
    endWait();
    delete d;
}

QByteArray ModbusLink::frameData() const
{
    return d->frameData;
}

void ModbusLink::setTransferLimit(int bytes)
{
    d->transferLimit = std::max(bytes, 2);
}

int ModbusLink::transferLimit() const
{
    return d->transferLimit;
}

// ---- settings and panels --------------------------------------------------------

void ModbusLink::setSettings(const CommSettings &s)
{
    m_settings.port = s.port;
    m_settings.settings = s.settings;
    m_settings.extraSilenceMs = std::clamp(s.extraSilenceMs, 0, MaxExtraSilenceMs);
    m_settings.turnaroundMs = std::clamp(s.turnaroundMs, 0, MaxExtraSilenceMs);
    m_settings.networkAllowanceMs = std::clamp(s.networkAllowanceMs, 0, MaxExtraSilenceMs);
    setFraming(s.framing);
    setUnitId(s.unitId);
    emit panelsChanged();
}

void ModbusLink::setUnitId(int id)
{
    if (id < 0 || id > 247) {
        showMessage(QStringLiteral("Unit ID %1 not in range of 0 to 247.").arg(id), ProgramTitle, Prompter::Warning);
        return;
    }
    m_settings.unitId = id;
    emit panelsChanged();
}

void ModbusLink::setFraming(int framing)
{
    if (framing != Ascii && framing != Rtu && framing != Tcp) {
        showMessage(QStringLiteral("Unknown Modbus mode %1: use 0 (ASCII), 1 (RTU) or 2 (TCP).").arg(framing), ProgramTitle,
                    Prompter::Warning);
        return;
    }
    m_settings.framing = framing;
    d->assembler.reset(framing, d->request ? d->request->shape : ReplyShape{});
    emit panelsChanged();
}

QString ModbusLink::idPanelText() const
{
    return QStringLiteral("ID: %1").arg(m_settings.unitId);
}

QString ModbusLink::modePanelText() const
{
    switch (m_settings.framing) {
    case Rtu: return QStringLiteral("RTU");
    case Tcp: return QStringLiteral("TCP");
    default: return QStringLiteral("ASCII");
    }
}

bool ModbusLink::onNetwork() const
{
    return NetworkAddress::isNetworkText(m_settings.port);
}

QString ModbusLink::commPanelText() const
{
    // The line settings of a network port belong to the gateway.
    if (onNetwork())
        return m_settings.port.trimmed();
    const QString port = m_settings.port.startsWith(QLatin1Char('/')) ? m_settings.port
                                                                      : QStringLiteral("COM") + m_settings.port;
    return port + QStringLiteral(": ") + m_serial->settings();
}

// ---- port control ---------------------------------------------------------------

bool ModbusLink::openPort(QString *error)
{
    m_rxLen = 0;
    endWait();
    if (m_portOpen)
        return true;
    d->reconnect = false;
    QString reason;
    if (m_settings.framing == Tcp && !onNetwork())
        reason = QStringLiteral("Modbus TCP framing needs a network port (HOST:PORT)");
    else
        m_serial->open(m_settings.port, m_settings.settings, &reason);
    if (!m_serial->isOpen()) {
        trace(QStringLiteral("Modlink: cannot open port %1: %2").arg(m_settings.port, reason));
        if (error)
            *error = reason;
        return false;
    }
    m_serial->discardInput();
    d->strayTotal = 0;
    d->assembler.reset(m_settings.framing);
    // What crossed the line before the port was ours is unknown: the first frame
    // keeps a silent interval too.
    d->silence.received(Clock::instance().nowUs());
    m_portOpen = true;
    emit portStateChanged(true);
    emit panelsChanged();
    return true;
}

void ModbusLink::closePort()
{
    m_rxLen = 0;
    endWait();
    if (m_serial->isOpen())
        m_serial->close();
    m_portOpen = false;
    m_mustOpenLatch = false;
    d->reconnect = false;
    d->assembler.reset(m_settings.framing);
    emit portStateChanged(false);
    emit panelsChanged();
    setTx(false);
    emit rxActive(false);
}

// ---- requests -------------------------------------------------------------------

bool ModbusLink::Comm_Ready()
{
    // Also under the override one request at a time: a nested wait would strand the outer one.
    if (m_commOverride)
        return m_portOpen && m_replyDone;
    if (!m_portOpen && d->reconnect) {
        QString reason;
        if (!openPort(&reason)) {
            showMessage(QStringLiteral("Unable to reconnect: %1").arg(reason), ReceiveFailure, Prompter::Error,
                        FailureButtons, FailureHelpContext);
            return false;
        }
    }
    if (!m_portOpen) {
        if (m_mustOpenLatch) {
            m_mustOpenLatch = false;
            showMessage(QStringLiteral("Comm Port must be open\r\nto communicate with unit."), ProgramTitle,
                        Prompter::Information);
        }
        return false;
    }
    m_mustOpenLatch = true;
    return m_replyDone;
}

bool ModbusLink::requestFits(int first, int byteCount, int maxBytes)
{
    if (byteCount > 0 && byteCount % 2 == 0 && byteCount <= maxBytes && RegisterImage::rangeValid(first, byteCount))
        return true;
    const QString text = QStringLiteral("Request refused: %1 bytes from register %2.\r"
                                        "A request must name an even number of bytes, at most %3,\r"
                                        "within registers 0 to %4.")
                             .arg(byteCount)
                             .arg(first)
                             .arg(maxBytes)
                             .arg(RegisterImage::RegisterCount - 1);
    trace(QStringLiteral("Modlink: ") + QString(text).replace(QLatin1Char('\r'), QLatin1Char(' ')));
    showMessage(text, QStringLiteral("Invalid Request"), Prompter::Error);
    return false;
}

bool ModbusLink::answered() const
{
    return m_msgComplete && m_lastException == 0;
}

bool ModbusLink::waitForQuietLine(Request &request)
{
    LineSettings line;
    LineSettings::parse(m_serial->settings(), &line, nullptr);
    // A gateway or device server keeps the silent interval on its own line; the
    // units behind it still need the turnaround after a broadcast it forwarded, and
    // a slow gateway the extra silence the technician set.
    d->silence.configure(line, m_settings.framing == Rtu && !onNetwork(), m_settings.extraSilenceMs,
                         m_settings.turnaroundMs);
    Clock &clock = Clock::instance();
    d->waitingForQuiet = &request;
    // Bytes that arrive meanwhile move the end of the silence on; the loop waits again.
    for (qint64 waitUs; !request.ended && (waitUs = d->silence.readyAtUs() - clock.nowUs()) > 0;) {
        d->quiet.startUs(waitUs);
        request.loop.exec();
    }
    d->quiet.stop();
    d->waitingForQuiet = nullptr;
    return !request.ended && m_portOpen;
}

void ModbusLink::Send_Frame(const QByteArray &frame)
{
    ++m_requestsSent;
    const int framing = m_settings.framing;
    Request request;
    request.shape = ReplyShape::of(frame);
    m_replyDone = false;
    publish(request.reply);
    if (!waitForQuietLine(request)) {
        trace(QStringLiteral("Modlink: the port closed before the request could be sent"));
        m_replyDone = true;
        publish(request.reply);
        emit requestEnded();
        return;
    }
    // What is still waiting belongs to no request of ours.
    d->strayTotal += m_serial->bytesWaiting();
    m_serial->discardInput();
    d->transaction = uint16_t(d->transaction + 1);
    request.shape.transaction = d->transaction;
    d->assembler.reset(framing, request.shape);
    d->request = &request;

    setTx(true);
    const QByteArray text = framing == Tcp ? ModbusFrame::mbap(d->transaction, frame)
                                           : ModbusFrame::encode(ModbusFrame::withChecksum(frame, framing), framing);
    trace(QStringLiteral("Sending: ")
          + (framing != Ascii ? ModbusFrame::hexText(text) : QString::fromLatin1(text)));
    const bool broadcast = !frame.isEmpty() && uint8_t(frame[0]) == BroadcastUnit;
    d->tracedRequest = frame;
    emitTraffic(LinkTraffic::Sent, text);
    if (!m_serial->write(text)) {
        trace(QStringLiteral("Modlink: the port did not take the request"));
        closePort();
        showMessage(QStringLiteral("Unable to send the request to the unit.\rClosing Comm Port"),
                    QStringLiteral("Transmit Failure"), Prompter::Error, FailureButtons, FailureHelpContext);
    } else {
        d->silence.sent(Clock::instance().nowUs(), text.size(), broadcast);
        if (broadcast) {
            // Nobody answers a broadcast: the request ends here, and the next one
            // waits for the turnaround delay.
            trace(QStringLiteral("Modlink: broadcast sent, no reply expected"));
        emitTraffic(LinkTraffic::Broadcast, {});
        } else {
            d->noResponse.start(NoResponseMs);
            d->deadline.start(NoResponseMs + (onNetwork() ? m_settings.networkAllowanceMs : longestReplyMs(frame)));
            if (!request.ended)
                request.loop.exec();
        }
    }
    if (d->request == &request)
        endWait();
    setTx(false);
    publish(request.reply);
    emit requestEnded();
}

void ModbusLink::emitTraffic(LinkTraffic::Kind kind, const QByteArray &bytes, int exception)
{
    LinkTraffic step;
    step.kind = kind;
    step.bytes = bytes;
    step.exception = exception;
    const QByteArray &f = d->tracedRequest;
    if (kind != LinkTraffic::Stray && f.size() >= 6) {
        step.unit = uint8_t(f[0]);
        step.function = uint8_t(f[1]);
        step.address = uint8_t(f[2]) << 8 | uint8_t(f[3]);
        step.count = uint8_t(f[4]) << 8 | uint8_t(f[5]);
    }
    emit traffic(step);
}

void ModbusLink::publish(const Reply &reply)
{
    m_msgComplete = reply.msgComplete;
    m_rxLen = reply.rxLen;
    m_lastException = reply.exception;
    m_replyCorrupt = reply.corrupt;
    d->replyDecoded = reply.decoded;
    d->frameData = reply.data;
    if (reply.decoded)
        m_lastReceived = reply.received;
}

bool ModbusLink::refusedUnlessReady()
{
    if (Comm_Ready())
        return false;
    // The reply state of an earlier request must not pass for this one's.
    publish(Reply{});
    return true;
}

int ModbusLink::longestReplyMs(const QByteArray &frame) const
{
    const ReplyShape shape = ReplyShape::of(frame);
    const int bytes = shape.byteCount >= 0 ? 3 + shape.byteCount : 6; // address to last data byte
    const int chars = m_settings.framing == Rtu ? bytes + 2 : 2 * (bytes + 1) + 3;
    LineSettings line;
    LineSettings::parse(m_serial->settings(), &line, nullptr);
    return int(std::ceil(chars * line.bitsPerChar() * 1000.0 / line.baud));
}

void ModbusLink::endWait()
{
    m_replyDone = true;
    d->noResponse.stop();
    d->deadline.stop();
    if (Request *request = std::exchange(d->waitingForQuiet, nullptr)) {
        request->ended = true;
        request->loop.quit();
    }
    if (Request *request = std::exchange(d->request, nullptr)) {
        request->ended = true;
        request->loop.quit();
    }
}

void ModbusLink::setTx(bool on)
{
    if (d->txOn == on)
        return;
    d->txOn = on;
    emit txActive(on);
}

uint16_t ModbusLink::Read_Regs(int first, int byteCount)
{
    if (!requestFits(first, byteCount, std::min(d->transferLimit, ModbusFrame::maxReadBytes(m_settings.framing))))
        return 0;
    if (refusedUnlessReady())
        return 0;
    Send_Frame(ModbusFrame::readHoldingRegisters(m_settings.unitId, first, byteCount / 2));
    if (!m_msgComplete) {
        trace(QStringLiteral("Full message not received, not updating field for addr:%1").arg(first));
        m_rxLen = 0;
        return 0;
    }
    storeReadReply(first, byteCount);
    return m_rxLen;
}

void ModbusLink::storeReadReply(int first, int byteCount)
{
    if (!d->replyDecoded || m_lastException != 0)
        return;
    if (d->frameData.size() < byteCount) {
        trace(QStringLiteral("Modlink: reply holds %1 of %2 bytes, not updating field for addr:%3")
                  .arg(d->frameData.size())
                  .arg(byteCount)
                  .arg(first));
        m_lastException = ChecksumFailure;
        emit statusText(Exception_Text(m_lastException));
        return;
    }
    m_image.store(first, reinterpret_cast<const uint8_t *>(d->frameData.constData()), byteCount);
    if (first == TagRegister) {
        m_deviceTag = m_image.textAt(TagByteOffset, TagMaxChars);
        emit deviceTagChanged(m_deviceTag);
    }
    if (first == SizeFormatsRegister)
        emit sizeFormatsSourceRead();
}

int16_t ModbusLink::Write_Regs(int first, int byteCount, const uint8_t *source)
{
    if (!requestFits(first, byteCount, std::min(d->transferLimit, ModbusFrame::maxWriteBytes(m_settings.framing))))
        return 0;
    if (!source) {
        showMessage(QStringLiteral("Request refused: no data to write at register %1.").arg(first),
                    QStringLiteral("Invalid Request"), Prompter::Error);
        return 0;
    }
    const bool mayTransmit = m_session->accessLevel() >= Session::Programmer;
    if (!mayTransmit && !m_commOverride)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(source), byteCount);
    const bool commandArguments = 2 * first + byteCount <= 2 * CommandArea::FirstRegister + CommandArea::Bytes;
    const bool send = mayTransmit && !refusedUnlessReady()
                      && (commandArguments
                          || offerWrite([&](WriteObserver &o) { return o.aboutToWriteRegisters(first, bytes); }, 16, first));
    m_image.store(first, bytes);
    if (!send)
        return 0;
    Send_Frame(ModbusFrame::presetMultipleRegisters(m_settings.unitId, first,
                                                    reinterpret_cast<const uint8_t *>(bytes.constData()), byteCount));
    return int16_t(m_rxLen);
}

bool ModbusLink::Store_Regs(int first, int byteCount, const uint8_t *source)
{
    if (!requestFits(first, byteCount, RegisterImage::ByteSize) || !source)
        return false;
    return m_image.store(first, source, byteCount);
}

bool ModbusLink::Send_Coil(int coil, uint16_t value)
{
    if (coil < 0 || coil > 0xFFFF) {
        showMessage(QStringLiteral("Request refused: there is no coil %1.").arg(coil), QStringLiteral("Invalid Request"),
                    Prompter::Error);
        return false;
    }
    if (refusedUnlessReady())
        return false;
    if (!offerWrite([&](WriteObserver &o) { return o.aboutToForceCoil(coil, value == ModbusFrame::CoilOn); }, 5, coil))
        return false;
    Send_Frame(ModbusFrame::forceSingleCoil(m_settings.unitId, coil, value));
    return answered();
}

bool ModbusLink::Finish_Coil(int coil, uint16_t value)
{
    if (value != ModbusFrame::CoilOn || m_commOverride || skipsHandshake(coil))
        return true;
    if (Wait_Unit_Done())
        return true;
    Force_Coil(coil, ModbusFrame::CoilOff);
    return false;
}

bool ModbusLink::Force_Coil(int coil, uint16_t value)
{
    if (Send_Coil(coil, value))
        return Finish_Coil(coil, value);
    // A command the unit refused has failed as surely as one that never got "Ready":
    // procedures polling the abort flag must stop.
    const bool commandCoil = value == ModbusFrame::CoilOn && !m_commOverride && !skipsHandshake(coil);
    if (commandCoil && m_msgComplete && m_lastException != 0)
        m_session->setAbort(true);
    return false;
}

bool ModbusLink::Read_Coil(int first, int count)
{
    const int maxCoils = 8 * ModbusFrame::maxReadBytes(m_settings.framing);
    if (first < 0 || first > 0xFFFF || count < 1 || count > maxCoils) {
        showMessage(QStringLiteral("Request refused: %1 coils from coil %2.\rAt most %3 coils can be read at once.")
                        .arg(count)
                        .arg(first)
                        .arg(maxCoils),
                    QStringLiteral("Invalid Request"), Prompter::Error);
        return false;
    }
    if (refusedUnlessReady())
        return false;
    Send_Frame(ModbusFrame::readCoilStatus(m_settings.unitId, first, count));
    return answered() && !d->frameData.isEmpty() && (uint8_t(d->frameData[0]) & 1u);
}

ModbusLink::CoilState ModbusLink::readCoilState(int coil)
{
    const quint64 before = m_requestsSent;
    const bool on = Read_Coil(coil, 1);
    if (m_requestsSent == before || !answered() || frameData().isEmpty())
        return CoilState::NoReply;
    return on ? CoilState::On : CoilState::Off;
}

bool ModbusLink::readRegisters(int first, int byteCount)
{
    const quint64 before = m_requestsSent;
    return Read_Regs(first, byteCount) != 0 && m_requestsSent != before && answered();
}

WriteObserver *ModbusLink::setWriteObserver(WriteObserver *observer)
{
    return std::exchange(m_writeObserver, observer);
}

bool ModbusLink::offerWrite(const std::function<bool(WriteObserver &)> &tell, int function, int address)
{
    if (!m_writeObserver) {
        if (m_session->history() && m_queryDepth == 0) {
            ++m_unrecordedWrites;
            qWarning("Modbus function %d at %d sent outside a recorded operation", function, address);
        }
        return true;
    }
    // The observer is out of the way while it reads, so its own requests are not offered to it.
    WriteObserver *observer = std::exchange(m_writeObserver, nullptr);
    const bool accepted = tell(*observer);
    m_writeObserver = observer;
    if (!accepted) {
        // The reply state of an earlier request must not pass for this one's.
        publish(Reply{});
        return false;
    }
    return !refusedUnlessReady();
}

bool ModbusLink::writeRegisters(int first, const QByteArray &source)
{
    const quint64 before = m_requestsSent;
    return Write_Regs(first, source) != 0 && m_requestsSent != before && answered();
}

bool ModbusLink::Wait_Unit_Done()
{
    if (!Comm_Ready())
        return false;
    emit busyCursor(true);
    Clock &clock = Clock::instance();
    const qint64 deadline = clock.nowMs() + UnitDoneDeadlineMs;
    bool busy = false;
    bool ready = false;
    // Each poll waits for its reply, so the loop paces itself; a closed port ends it.
    while (clock.nowMs() < deadline && m_portOpen) {
        QCoreApplication::processEvents();
        busy = Read_Coil(BusyCoil, 1);
        if (busy)
            break;
        ready = Read_Coil(ReadyCoil, 1);
        if (ready)
            break;
    }
    {
        // Clearing the handshake coils belongs to the command, it changes nothing of its own.
        WriteObserver *observer = std::exchange(m_writeObserver, nullptr);
        QueryScope handshake(*this);
        if (busy)
            Force_Coil(BusyCoil, ModbusFrame::CoilOff);
        if (ready)
            Force_Coil(ReadyCoil, ModbusFrame::CoilOff);
        m_writeObserver = observer;
    }
    emit busyCursor(false);
    if (ready && !busy)
        return true;
    m_session->setAbort(true);
    showMessage(QStringLiteral("Unit unable to process request,\rcommand failed."), QStringLiteral("Unit Busy"),
                Prompter::Warning, Prompter::OK);
    return false;
}

QString ModbusLink::Exception_Text(int code)
{
    switch (code) {
    case 0: return QStringLiteral("OK");
    case 1: return QStringLiteral("Illegal Function");
    case 2: return QStringLiteral("Illegal Data Address");
    case 3: return QStringLiteral("Illegal Data Value");
    case 4: return QStringLiteral("Device Failure");
    case 5: return QStringLiteral("OK, Processing...");
    case 6: return QStringLiteral("Busy, Retry Later");
    case 7: return QStringLiteral("Cannot Process Request");
    case 8: return QStringLiteral("Memory Parity Error");
    case 9: return QStringLiteral("CRC Error");
    default: return QStringLiteral("Unknown Error");
    }
}

// ---- receive path ---------------------------------------------------------------

void ModbusLink::onCommEvent(int event)
{
    // While the link's port is closed, what the serial control receives belongs to
    // whoever else opened it (the unit scan); the link takes none of it.
    if (!m_portOpen)
        return;
    d->silence.received(Clock::instance().nowUs());
    // Traffic on the line keeps the request alive; only silence ends it.
    if (d->noResponse.isActive())
        d->noResponse.start(NoResponseMs);
    if (event == SerialControl::EvReceive) {
        onReceive();
        return;
    }
    const QString text = lineErrorText(event);
    if (!text.isEmpty())
        showMessage(text, ReceiveFailure, Prompter::Error, FailureButtons, FailureHelpContext);
}

void ModbusLink::onReceive()
{
    const QByteArray chunk = m_serial->readAll();
    if (chunk.isEmpty())
        return;
    emit rxActive(true);
    if (!d->request) {
        d->strayTotal += int(chunk.size());
        trace(QStringLiteral("Modlink: data with no request outstanding: ") + ModbusFrame::hexText(chunk));
        emitTraffic(LinkTraffic::Stray, chunk);
    } else {
        ReplyAssembler::Result result = d->assembler.feed(chunk);
        if (result == ReplyAssembler::CrLfWithoutStart)
            emit statusText(QStringLiteral("MSComm1 Rcv: CRLF with no Start, abort Recv..."));
        while (result == ReplyAssembler::Complete) {
            d->strayTotal += d->assembler.takeDropped();
            if (takeMessage(d->assembler.message()))
                break;
            result = d->assembler.next();
        }
        d->strayTotal += d->assembler.takeDropped();
    }
    if (d->strayTotal + d->assembler.pendingSize() > ModbusFrame::MaxReplyChars) {
        onStreaming();
        return;
    }
    emit rxActive(false);
}

bool ModbusLink::takeMessage(const QByteArray &message)
{
    const int framing = m_settings.framing;
    Reply &request = d->request->reply;
    const QString text = framing != Ascii ? ModbusFrame::hexText(message) : QString::fromLatin1(message);
    const ReplyShape::Fit fit = d->request->shape.fit(message, framing);
    if (fit == ReplyShape::Foreign) {
        // A late answer to an earlier request, or noise: the wait goes on.
        trace(QStringLiteral("Modlink: not the reply to this request, discarded: ") + text);
        emitTraffic(LinkTraffic::Stray, message);
        // A well-formed reply to another request is no sign of a streaming unit.
        if (Parse_Reply(message, int(message.size()), framing, false).corrupt)
            d->strayTotal += int(message.size());
        return false;
    }
    trace(QStringLiteral("\r\nAfter Parsing Recv String into Array: ") + text + QStringLiteral("\r\n"));
    ParsedReply reply = Parse_Reply(message, int(message.size()), framing, m_commOverride);
    if (fit == ReplyShape::WrongLength && reply.decoded) {
        trace(QStringLiteral("Modlink: reply of the wrong length for its header: ") + text);
        reply.exception = ChecksumFailure;
        reply.corrupt = true;
        reply.data.clear();
    }
    request.msgComplete = true;
    request.rxLen = uint16_t(message.size());
    request.received = message;
    request.exception = reply.exception;
    request.corrupt = reply.corrupt;
    request.decoded = reply.decoded;
    request.data = reply.data;
    if (!reply.corrupt)
        d->strayTotal = 0;
    emitTraffic(reply.corrupt ? LinkTraffic::ChecksumError
                : reply.exception != 0 ? LinkTraffic::Exception
                                       : LinkTraffic::Reply,
                message, reply.exception);
    if (reply.corrupt)
        emit statusText(CorruptReplyText);
    else if (reply.exception != 0)
        emit statusText(Exception_Text(reply.exception));
    endWait();
    return true;
}

void ModbusLink::onNoResponse()
{
    emit busyCursor(false);
    if (!d->request)
        return;
    endWait();
    trace(QStringLiteral("Modlink: no response from unit"));
    emitTraffic(LinkTraffic::NoReply, {});
    if (m_commOverride)
        return;
    // Closed before the box so that no timer can start a request while it is shown.
    closePort();
    showMessage(QStringLiteral("No response from Unit\rClosing Comm Port"), ReceiveFailure, Prompter::Error,
                FailureButtons, FailureHelpContext);
}

void ModbusLink::onStreaming()
{
    m_serial->discardInput();
    trace(QStringLiteral("Modlink: more than %1 characters received, the unit streams; closing the port")
              .arg(ModbusFrame::MaxReplyChars));
    closePort();
    showMessage(QStringLiteral("Ostrel is in Continuous Output mode.\rModbus mode is required to communicate.\r\r"
                               "      Comm Port closed to prevent \r      Receive Data overflow.\r"),
                ProgramTitle, Prompter::Information);
}

void ModbusLink::onLostDevice(const QString &reason)
{
    const bool wasOpen = m_portOpen;
    closePort();
    if (!wasOpen)
        return;
    if (onNetwork()) {
        // A gateway may drop an idle connection: the next request connects again.
        d->reconnect = true;
        showMessage(QStringLiteral("The network port was lost: %1\rIt is reopened with the next request.").arg(reason),
                    ReceiveFailure, Prompter::Error, FailureButtons, FailureHelpContext);
        return;
    }
    showMessage(QStringLiteral("The serial port was lost: %1\rClosing Comm Port").arg(reason), ReceiveFailure,
                Prompter::Error, FailureButtons, FailureHelpContext);
}
