#pragma once

#include <QObject>

class QIODevice;
class SerialControl;

// Sends a firmware file over the serial port as raw bytes, one output-buffer
// chunk at a time. Before each chunk (and before calling it done) it waits, in
// an event loop that keeps the window alive, until the port's output has
// drained, so the progress counts bytes that have left the port and a port that
// closes or fails is noticed at once.
class FirmwareSender : public QObject {
    Q_OBJECT
public:
    enum class Result { Sent, EmptyFile, FileError, WriteFailed, PortClosed };
    static constexpr int PollMs = 5;

    explicit FirmwareSender(SerialControl &serial, QObject *parent = nullptr);

    Result send(QIODevice &file);
    qint64 bytesSent() const { return m_sent; }

signals:
    // Bytes that have left the port so far, of total.
    void progress(qint64 done, qint64 total);

private:
    // false when the port closed while waiting.
    bool waitUntilDrained(qint64 total);

    SerialControl &m_serial;
    qint64 m_written = 0;
    qint64 m_sent = 0;
};
