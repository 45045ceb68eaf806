#pragma once

#include "Faults.h"
#include "LineSettings.h"
#include "SlaveFraming.h"

#include <QByteArray>
#include <QObject>

#include <deque>
#include <memory>

class ClockTimer;

namespace sim {

class SimDevice;
class SimDownload;

// The transmitter's serial interface: bytes in from the master, framed requests
// to the device, framed replies back out, with the timing of a real line.
//
// With pacing on, a request counts as arrived only once its last character would
// have crossed the wire at the configured baud rate, and the reply leaves one
// character time per character after the turnaround delay. Time is read from the
// program's Clock, so tests drive it with a ManualClock. Output is handed on in
// chunks no closer than OutputGranularityMs (as a UART driver would), but the last
// byte of a reply always leaves on time.
class SimTransmitter : public QObject {
    Q_OBJECT
public:
    static constexpr double OutputGranularityMs = 4.0;

    explicit SimTransmitter(SimDevice *device, QObject *parent = nullptr);
    ~SimTransmitter() override;

    SimDevice *device() const { return m_device; }

    void setPacing(bool on) { m_pacing = on; }
    bool pacing() const { return m_pacing; }
    void setTurnaroundMs(int ms) { m_turnaroundMs = ms < 0 ? 0 : ms; }
    int turnaroundMs() const { return m_turnaroundMs; }
    // Strict silence: an RTU request that starts less than the silent interval (3.5
    // characters, 1.75 ms above 19200 baud) after the last reply ended is dropped
    // unanswered, as a strict device or an adapter with direction control would.
    void setStrictSilence(bool on) { m_strictSilence = on; }
    bool strictSilence() const { return m_strictSilence; }
    // Requests dropped for starting too early.
    int earlyRequestsDropped() const { return m_earlyDropped; }

    // Modbus TCP framing (MBAP) whatever framing the device's registers name, as a
    // gateway in front of the transmitter speaks it.
    void setMbap(bool on);
    // Nothing received is waiting and no reply is on its way: the next client's
    // request may start.
    bool idle() const;
    // Forgets a request half received and the reply not yet sent (the master went away).
    void dropInput();

    const Faults &faults() const { return m_faults; }
    void setFaults(const Faults &faults);

    // Bytes as the master wrote them to the line.
    void receive(const QByteArray &bytes);

    // Requests answered so far (tests and the benchmark check this).
    int repliesSent() const { return m_repliesSent; }
    // Download mode: raw bytes of a firmware file instead of Modbus.
    SimDownload *download() const { return m_download; }
    // How far the bytes received so far run ahead of the wire (front ends that can
    // hold the line back read no faster than the baud rate allows).
    double inputBacklogMs() const;

signals:
    // Bytes that have crossed the wire towards the master.
    void transmit(const QByteArray &bytes);
    // A request was dropped under strict silence: it started gapMs after the reply.
    void earlyRequestDropped(double gapMs, double neededMs);

private:
    struct OutByte {
        double due;
        char byte;
        bool endsReply;
    };

    void onCommChanged();
    void setStreaming(bool on);
    void pump();
    void schedulePump();
    void handle(const SlaveRequest &request, double arrivedAt);
    void queueReply(const QByteArray &frame, double start);
    void queueStreamLine();
    double now() const;
    double charMs() const;
    double silentIntervalMs() const;
    int framing() const;
    bool m_mbap = false;

    SimDevice *m_device;
    SimDownload *m_download;
    std::unique_ptr<SlaveFramer> m_framer;
    Faults m_faults;
    bool m_pacing = true;
    bool m_streaming = false;    // continuous output, by fault or by protocol
    bool m_protocolStreaming = false;
    int m_turnaroundMs = 0;
    int m_repliesSent = 0;
    bool m_strictSilence = false;
    int m_earlyDropped = 0;
    bool m_frameStartedEarly = false;
    double m_earlyGapMs = 0;
    double m_replyEndedAt = -1e9; // when the last byte of the last reply left

    QByteArray m_inbox;
    double m_rxEnd = 0;          // when the last received character finished on the wire
    double m_silenceAt = -1;     // RTU: when the pending frame ends by silence
    std::deque<OutByte> m_out;
    double m_lastEmit = -1e9;
    ClockTimer *m_timer;
    ClockTimer *m_streamTimer;
    bool m_pumpQueued = false;
};

} // namespace sim
