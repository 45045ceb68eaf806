#pragma once

#include <QByteArray>
#include <QObject>

class ClockTimer;

namespace sim {

class SimDevice;

// The transmitter's download mode. Forcing the "File Download" coil arms it; once
// the master has taken the command's Ready (it clears the Ready coil), the line
// stops carrying Modbus and every byte that arrives belongs to the firmware file.
// A pause on the line ends the file: the transmitter checks what it got and
// reboots into Modbus. An operating-system download is entered from the front
// panel instead (enterFromPanel).
class SimDownload : public QObject {
    Q_OBJECT
public:
    static constexpr int DownloadCoil = 42;
    // Silence after the last byte that ends the file.
    static constexpr int EndSilenceMs = 1000;
    // Download mode given up when nothing arrives for this long.
    static constexpr int IdleLimitMs = 30000;

    explicit SimDownload(SimDevice *device, QObject *parent = nullptr);

    bool active() const { return m_active; }
    void enterFromPanel() { begin(); }
    // Bytes of the file; they finish crossing the wire at arrivedAtMs.
    void take(const QByteArray &bytes, double arrivedAtMs);

    // Fault: the line drops once this many bytes have arrived (-1 off).
    void setDropAfter(qint64 bytes) { m_dropAfter = bytes; }

    qint64 received() const { return m_received; }
    // Size of the last file taken (-1: none yet) and whether it was accepted.
    qint64 lastFileBytes() const { return m_lastFileBytes; }
    bool lastFileAccepted() const { return m_lastAccepted; }
    // From the first byte's arrival to the end of the last one on the wire.
    double lastFileSpanMs() const { return m_lastByteMs - m_firstByteMs; }

signals:
    // The file has ended (accepted: it will now reboot).
    void finished(qint64 bytes, bool accepted);
    // The line went dead in the middle of the transfer.
    void lineDropped();

private:
    void begin();
    void end();

    SimDevice *m_device;
    ClockTimer *m_silence;
    bool m_armed = false;
    bool m_active = false;
    qint64 m_received = 0;
    qint64 m_dropAfter = -1;
    qint64 m_lastFileBytes = -1;
    bool m_lastAccepted = false;
    double m_firstByteMs = 0;
    double m_lastByteMs = 0;
};

} // namespace sim
