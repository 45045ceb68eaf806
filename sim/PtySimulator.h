#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QTimer;

namespace sim {

class SimTransmitter;

// Serves a simulated transmitter on a pseudo-terminal in this process: the
// program (or any Modbus master) opens the returned slave path as a serial port.
// The pty is raw (no echo, no line editing). It keeps a slave descriptor of its
// own open so that the line stays up while the master side closes and reopens
// the port. Input is read no faster than the line's baud rate would deliver it,
// so a master that writes a long stream sees its output back up as on a real line.
class PtySimulator : public QObject {
    Q_OBJECT
public:
    // Output kept for a reader that has stopped reading; beyond it bytes are dropped.
    static constexpr int MaxPendingOutput = 64 * 1024;

    explicit PtySimulator(SimTransmitter *transmitter, QObject *parent = nullptr);
    ~PtySimulator() override;

    // Opens the pty and starts serving; returns the slave path ("/dev/pts/N"), or
    // an empty string with *error set.
    QString start(QString *error = nullptr);
    void stop();
    bool isRunning() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

private:
    void onReadable();
    void onLineDropped();
    void onTransmit(const QByteArray &bytes);
    void flush();

    QPointer<SimTransmitter> m_transmitter;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_pending;
    // Reading pauses while the received bytes run ahead of the wire.
    QTimer *m_readPause = nullptr;
};

} // namespace sim
