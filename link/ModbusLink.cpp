#include "ModbusLink.h"

#include "Clock.h"
#include "Codec.h"
#include "Prompter.h"
#include "ReplyAssembler.h"
#include "SerialControl.h"
#include "Session.h"
#include "TraceLog.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <array>

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

struct ModbusLink::Impl {
    ClockTimer noResponse;
    ReplyAssembler assembler;
    QEventLoop *wait = nullptr;
    QByteArray frameData;      // data bytes of the last decoded reply
    bool replyDecoded = false; // false when the override left the reply undecoded
    int receivedTotal = 0;     // characters since the request was sent (or the port opened)
    // Characters that belonged to no reply (arrived with no request outstanding, or
    // were discarded before a request) since the last reply with a good checksum. In
    // RTU a streaming unit's text is taken for short replies with a bad CRC, so the
    // per-request count alone never sees the stream there.
    int strayTotal = 0;
    int transferLimit = MaxTransferBytes;
    bool txOn = false;
};

ModbusLink::ModbusLink(SerialControl *serial, Session *session, QObject *parent)
    : QObject(parent), d(new Impl), m_serial(serial), m_session(session)
{
    Q_ASSERT(serial && session);
    d->noResponse.setSingleShot(true);
    d->noResponse.setInterval(NoResponseMs);
    connect(&d->noResponse, &ClockTimer::timeout, this, &ModbusLink::onNoResponse);
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
    if (framing != Ascii && framing != Rtu) {
        showMessage(QStringLiteral("Unknown Modbus mode %1: use 0 (ASCII) or 1 (RTU).").arg(framing), ProgramTitle,
                    Prompter::Warning);
        return;
    }
    m_settings.framing = framing;
    d->assembler.reset(framing);
    emit panelsChanged();
}

QString ModbusLink::idPanelText() const
{
    return QStringLiteral("ID: %1").arg(m_settings.unitId);
}

QString ModbusLink::modePanelText() const
{
    return m_settings.framing == Rtu ? QStringLiteral("RTU") : QStringLiteral("ASCII");
}

QString ModbusLink::commPanelText() const
{
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
    QString reason;
    if (!m_serial->open(m_settings.port, m_settings.settings, &reason)) {
        trace(QStringLiteral("Modlink: cannot open port %1: %2").arg(m_settings.port, reason));
        if (error)
            *error = reason;
        return false;
    }
    m_serial->discardInput();
    d->receivedTotal = 0;
    d->strayTotal = 0;
    d->assembler.reset(m_settings.framing);
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

void ModbusLink::Send_Frame(const QByteArray &frame)
{
    const int framing = m_settings.framing;
    m_replyDone = false;
    m_msgComplete = false;
    m_rxLen = 0;
    m_lastException = 0;
    d->frameData.clear();
    d->replyDecoded = false;
    d->receivedTotal = 0;
    // What is still waiting belongs to no request of ours.
    d->strayTotal += m_serial->bytesWaiting();
    m_serial->discardInput();
    d->assembler.reset(framing);

    setTx(true);
    const QByteArray text = ModbusFrame::encode(ModbusFrame::withChecksum(frame, framing), framing);
    trace(QStringLiteral("Sending: ")
          + (framing == Rtu ? ModbusFrame::hexText(text) : QString::fromLatin1(text)));
    if (!m_serial->write(text)) {
        trace(QStringLiteral("Modlink: the port did not take the request"));
        closePort();
        showMessage(QStringLiteral("Unable to send the request to the unit.\rClosing Comm Port"),
                    QStringLiteral("Transmit Failure"), Prompter::Error, FailureButtons, FailureHelpContext);
        return;
    }
    d->noResponse.start(NoResponseMs);
    if (!m_replyDone) {
        QEventLoop loop;
        d->wait = &loop;
        loop.exec();
        d->wait = nullptr;
    }
    setTx(false);
}

void ModbusLink::endWait()
{
    m_replyDone = true;
    d->noResponse.stop();
    if (d->wait)
        d->wait->quit();
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
    if (!Comm_Ready())
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
    m_image.store(first, source, byteCount);
    if (!mayTransmit || !Comm_Ready())
        return 0;
    Send_Frame(ModbusFrame::presetMultipleRegisters(m_settings.unitId, first, source, byteCount));
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
    if (!Comm_Ready())
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
    return Send_Coil(coil, value) && Finish_Coil(coil, value);
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
    if (!Comm_Ready())
        return false;
    Send_Frame(ModbusFrame::readCoilStatus(m_settings.unitId, first, count));
    return answered() && !d->frameData.isEmpty() && (uint8_t(d->frameData[0]) & 1u);
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
    if (busy)
        Force_Coil(BusyCoil, ModbusFrame::CoilOff);
    if (ready)
        Force_Coil(ReadyCoil, ModbusFrame::CoilOff);
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
    d->receivedTotal += int(chunk.size());
    if (m_replyDone)
        d->strayTotal += int(chunk.size());
    if (d->receivedTotal > ModbusFrame::MaxReplyChars || d->strayTotal > ModbusFrame::MaxReplyChars) {
        onStreaming();
        return;
    }
    if (m_replyDone) {
        trace(QStringLiteral("Modlink: data with no request outstanding: ") + ModbusFrame::hexText(chunk));
    } else {
        switch (d->assembler.feed(chunk)) {
        case ReplyAssembler::Complete:
            onReplyComplete(d->assembler.message());
            break;
        case ReplyAssembler::CrLfWithoutStart:
            emit statusText(QStringLiteral("MSComm1 Rcv: CRLF with no Start, abort Recv..."));
            break;
        case ReplyAssembler::Incomplete:
            break;
        }
    }
    emit rxActive(false);
}

void ModbusLink::onReplyComplete(const QByteArray &message)
{
    const int framing = m_settings.framing;
    m_rxLen = uint16_t(message.size());
    m_msgComplete = true;
    trace(QStringLiteral("\r\nAfter Parsing Recv String into Array: ")
          + (framing == Rtu ? ModbusFrame::hexText(message) : QString::fromLatin1(message)) + QStringLiteral("\r\n"));
    const ParsedReply reply = Parse_Reply(message, int(message.size()), framing, m_commOverride);
    m_lastException = reply.exception;
    if (m_lastException != ChecksumFailure)
        d->strayTotal = 0;
    else
        d->strayTotal += d->receivedTotal - int(message.size()); // what came after the "reply"

    d->replyDecoded = reply.decoded;
    if (reply.decoded) {
        d->frameData = reply.data;
        m_lastReceived = message;
    }
    if (m_lastException != 0)
        emit statusText(Exception_Text(m_lastException));
    endWait();
}

void ModbusLink::onNoResponse()
{
    emit busyCursor(false);
    endWait();
    trace(QStringLiteral("Modlink: no response from unit"));
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
    if (wasOpen)
        showMessage(QStringLiteral("The serial port was lost: %1\rClosing Comm Port").arg(reason), ReceiveFailure,
                    Prompter::Error, FailureButtons, FailureHelpContext);
}
