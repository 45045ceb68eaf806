#pragma once

#include "RegisterImage.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <climits>
#include <functional>
#include <cstdint>

class SerialControl;
class Session;
class ClockTimer;

// Sees every write the link is about to send (registers or a coil) while it is
// installed, so one operation records all it writes (see OperationRecord). Called
// when the link is ready to send; it may make its own reads, and refuse the write
// (false: nothing is sent). Writes to the command
// area are not offered: they are the arguments of the command coil that follows,
// a scratch buffer rather than a setting.
class WriteObserver {
public:
    virtual ~WriteObserver() = default;
    virtual bool aboutToWriteRegisters(int first, const QByteArray &bytes) = 0;
    virtual bool aboutToForceCoil(int coil, bool on) = 0;
};

// One step of the traffic on the line, for a frame trace: a request sent and how it
// ended, or bytes that belonged to no request. The request's unit, function, address
// and count (the value of a coil write) are given with every outcome.
struct LinkTraffic {
    enum Kind { Sent, Reply, Exception, NoReply, ChecksumError, Stray, Broadcast };
    Kind kind = Sent;
    QByteArray bytes;      // the characters as they crossed the line (none for NoReply)
    int unit = -1;         // -1 for stray input
    int function = 0;
    int address = 0;
    int count = 0;
    int exception = 0;     // Exception: the unit's code
};

// Port, line settings, framing and unit ID the link talks with.
struct CommSettings {
    QString port = QStringLiteral("1");          // "1".."12", a device path or HOST:PORT
    QString settings = QStringLiteral("9600,N,8,1"); // ignored on a network port
    int framing = 0;                              // 0 ASCII, 1 RTU, 2 Modbus TCP (network ports only)
    int unitId = 247;                             // 0..247; 0 is a broadcast nobody answers
    int extraSilenceMs = 0;                       // more silence between frames, for slow adapters
    int turnaroundMs = 100;                       // after a broadcast, before the next request
    // On a network port, what a reply may take beyond the no-response time-out (on a
    // serial port the reply's time on the wire is allowed instead).
    int networkAllowanceMs = 1000;
    bool operator==(const CommSettings &) const = default;
};

// The Modbus master: the register image, the link state and the four link
// operations that every window calls. One request is outstanding at a time; a
// request waits in a nested event loop that sleeps until the reply is complete,
// the no-response timer fires or the port is closed, so the GUI keeps painting.
// Timers and clicks that run during the wait get 0/false from every operation.
// The link must outlive any wait: never delete it from a handler that runs inside one.
class ModbusLink : public QObject {
    Q_OBJECT
public:
    enum Framing { Ascii = 0, Rtu = 1, Tcp = 2 };
    static constexpr int NoResponseMs = 5000;
    // The command-coil handshake gives the unit this long to report "Ready".
    static constexpr int UnitDoneDeadlineMs = 5000;
    static constexpr int MaxTransferBytes = 244;
    // Bound of the extra silence and the broadcast turnaround.
    static constexpr int MaxExtraSilenceMs = 10000;
    // Passed to setTransferLimit: requests are then bounded only by what fits the
    // 512-place buffers in the current framing (see ModbusFrame::maxReadBytes).
    static constexpr int BufferBound = INT_MAX;

    ModbusLink(SerialControl *serial, Session *session, QObject *parent = nullptr);
    ~ModbusLink() override;

    RegisterImage &image() { return m_image; }
    const RegisterImage &image() const { return m_image; }
    SerialControl *serial() const { return m_serial; }
    Session *session() const { return m_session; }

    // Link operations. Results: Read_Regs/Write_Regs give the received length
    // (nonzero = a reply arrived; exception replies included, see LastException).
    // A request outside the image, with an odd or zero byte count or more bytes than
    // the transfer limit is refused with a message and sends nothing. Failed replies
    // (exception, checksum, shorter than asked) leave the image unchanged.
    // Force_Coil and Send_Coil are true only when the transmitter answered without an
    // exception; Force_Coil of a command coil also needs the "Ready" handshake.
    uint16_t Read_Regs(int first, int byteCount);
    int16_t Write_Regs(int first, int byteCount, const uint8_t *source);
    int16_t Write_Regs(int first, const QByteArray &source)
    {
        return Write_Regs(first, int(source.size()), reinterpret_cast<const uint8_t *>(source.constData()));
    }
    bool Force_Coil(int coil, uint16_t value);
    bool Send_Coil(int coil, uint16_t value);
    bool Finish_Coil(int coil, uint16_t value);
    bool Read_Coil(int first, int count);
    bool Wait_Unit_Done();
    bool Store_Regs(int first, int byteCount, const uint8_t *source);
    bool Comm_Ready();

    // The three outcomes of reading one coil. A dead link or an exception reply is
    // never "off": procedures that wait for their coil to clear must not take a lost
    // transmitter for a finished step.
    enum class CoilState { Off, On, NoReply };
    CoilState readCoilState(int coil);
    // Read_Regs that says whether the image now holds the transmitter's values for
    // the range (a valid, complete reply without exception). Windows that write a
    // block back only do so after this succeeded.
    bool readRegisters(int first, int byteCount);
    // Write_Regs that says whether the transmitter accepted the write.
    bool writeRegisters(int first, const QByteArray &source);
    // The operation that records the writes sent meanwhile (nullptr: none); returns
    // the one it replaces.
    WriteObserver *setWriteObserver(WriteObserver *observer);
    WriteObserver *writeObserver() const { return m_writeObserver; }
    // Writes sent while a change history is open and no operation records them: a
    // path that forgot its record (command-area arguments aside). Commands that only ask the transmitter for data
    // (a version, the clock, a directory), and command coils put back at rest, run
    // inside a QueryScope and are not counted.
    int unrecordedWrites() const { return m_unrecordedWrites; }
    class QueryScope {
    public:
        explicit QueryScope(ModbusLink &link) : m_link(link) { ++m_link.m_queryDepth; }
        ~QueryScope() { --m_link.m_queryDepth; }
        QueryScope(const QueryScope &) = delete;
        QueryScope &operator=(const QueryScope &) = delete;

    private:
        ModbusLink &m_link;
    };
    // The shared argument buffer of the command area (see CommandArea).
    QByteArray &commandBuffer() { return m_commandBuffer; }
    static QString Exception_Text(int code);

    // Byte-count limit of Read_Regs and Write_Regs: MaxTransferBytes for the program's
    // windows. The test console raises it to BufferBound while it is open and restores
    // it when it closes.
    void setTransferLimit(int bytes);
    int transferLimit() const;

    // Link state.
    bool ReplyDone() const { return m_replyDone; }
    bool MsgComplete() const { return m_msgComplete; }
    uint16_t RxLen() const { return m_rxLen; }
    int LastException() const { return m_lastException; }
    // The last reply had the request's shape but failed its checksum or was cut short
    // (LastException is then 12): noise or a damaged line, not the unit's refusal.
    bool ReplyCorrupt() const { return m_replyCorrupt; }
    bool CommOverride() const { return m_commOverride; }
    void setCommOverride(bool on) { m_commOverride = on; }
    QString PortState() const { return m_portOpen ? QStringLiteral("Open") : QStringLiteral("Closed"); }
    bool portOpen() const { return m_portOpen; }
    QString DeviceTag() const { return m_deviceTag; }
    // After a Read_Coil with a reply: the packed coil states (bit b of byte j = coil first+8j+b).
    // After a register read: the reply's data bytes.
    QByteArray frameData() const;
    // The last complete reply as received (the test console shows it).
    QByteArray lastReceived() const { return m_lastReceived; }

    // Communication settings and port control.
    const CommSettings &settings() const { return m_settings; }
    void setSettings(const CommSettings &s);
    void setUnitId(int id);
    void setFraming(int framing);
    // Opens the port with the current settings; on failure shows nothing and
    // returns false with *error set to the port's own reason (the caller words the
    // notice). Opening ends any wait and drops pending input.
    bool openPort(QString *error = nullptr);
    // The close path: ends any waiting request, closes the serial port.
    void closePort();
    // Arms the must-open notice latch (the settings window does this after opening).
    void armMustOpenLatch() { m_mustOpenLatch = true; }

    // The port is HOST:PORT rather than a serial port.
    bool onNetwork() const;

    // Texts of the main window's port panels: "ID: 247", "ASCII" / "RTU",
    // "COM1: 9600,N,8,1" (a device path stands in place of "COM1").
    QString idPanelText() const;
    QString modePanelText() const;
    QString commPanelText() const;

signals:
    // Indicators and panels of the main window.
    void txActive(bool on);
    void rxActive(bool on);
    void portStateChanged(bool open);
    void panelsChanged();                       // unit ID, framing, settings text changed
    void statusText(const QString &text);       // pnlStatus: exception texts and notices
    void deviceTagChanged(const QString &tag);
    // After Read_Regs at register 635 the size formats are recomputed by the units module.
    void sizeFormatsSourceRead();
    // The hourglass cursor while the command-coil handshake polls (not stacked:
    // true sets it, false restores the default).
    void busyCursor(bool on);
    // A request has ended (answered or not) and its caller is about to see the result.
    void requestEnded();
    // Every request, its outcome, and stray input (see LinkTraffic).
    void traffic(const LinkTraffic &step);

private:
    struct Reply;
    struct Request;
    // Sends one request and waits, without blocking, until its reply is handled, the
    // no-response timer or the request's deadline fires or the port is closed. The
    // reply state the caller then reads is this request's own, whatever other
    // requests ran meanwhile (a window opened during the wait may make its own once
    // this reply is in).
    void Send_Frame(const QByteArray &frame);
    void emitTraffic(LinkTraffic::Kind kind, const QByteArray &bytes, int exception = 0);
    // Waits without blocking until the line has been silent long enough for the next
    // frame (see LineSilence); false when the port closed meanwhile.
    bool waitForQuietLine(Request &request);
    void publish(const Reply &reply);
    // Comm_Ready, clearing the reply state when the request may not be sent.
    bool refusedUnlessReady();
    int longestReplyMs(const QByteArray &frame) const;
    void endWait();
    void setTx(bool on);
    bool requestFits(int first, int byteCount, int maxBytes);
    bool answered() const;
    void storeReadReply(int first, int byteCount);
    void onCommEvent(int event);
    void onReceive();
    bool takeMessage(const QByteArray &message);
    void onNoResponse();
    void onStreaming();
    void onLostDevice(const QString &reason);
    // Tells the observer of a write about to go out, or counts it as unrecorded;
    // false when the observer refused it or the link is no longer ready afterwards.
    bool offerWrite(const std::function<bool(WriteObserver &)> &tell, int function, int address);

    // Implementation state is private to link/.
    struct Impl;
    Impl *d = nullptr;

    RegisterImage m_image;
    SerialControl *m_serial = nullptr;
    Session *m_session = nullptr;
    CommSettings m_settings;
    bool m_replyDone = true;
    bool m_msgComplete = false;
    uint16_t m_rxLen = 0;
    int m_lastException = 0;
    bool m_replyCorrupt = false;
    bool m_commOverride = false;
    bool m_portOpen = false;
    bool m_mustOpenLatch = false;
    QString m_deviceTag;
    QByteArray m_lastReceived;
    QByteArray m_commandBuffer;
    // Counts requests sent, so a refused request is not judged by an earlier reply.
    quint64 m_requestsSent = 0;
    WriteObserver *m_writeObserver = nullptr;
    int m_queryDepth = 0;
    int m_unrecordedWrites = 0;
};
