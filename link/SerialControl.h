#pragma once

#include "SerialSettingsText.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The serial port as the link sees it. Implementations: the QSerialPort one for
// real ports and pseudo-terminals, an in-process one wired to the simulated
// transmitter, and scripted ones in tests.
//
// Bytes are bytes: every implementation passes all 256 values unchanged.
// Events are always delivered through the Qt event loop (queued), never from
// inside write(), so that they run only while the link waits or the GUI is idle.
class SerialControl : public QObject {
    Q_OBJECT
public:
    // Line events, numbered as the receive path reports them.
    enum CommEvent {
        EvReceive = 2,
        EvBreak = 1001,
        EvFrame = 1004,
        EvOverrun = 1006,
        EvRxOver = 1008,
        EvRxParity = 1009,
        EvTxFull = 1010,
        EvDcb = 1011,
    };

    using QObject::QObject;
    ~SerialControl() override = default;

    // port: "1".."12" (mapped to /dev/ttyS0..11) or a device path starting with "/".
    // settings: "baud,parity letter,data bits,stop bits", e.g. "9600,N,8,1"; empty keeps
    // the current settings. On failure returns false and fills *error with a plain reason.
    virtual bool open(const QString &port, const QString &settings, QString *error) = 0;
    // Changes the line settings of an open port (or remembers them for the next open);
    // settings the port cannot take are refused, open or not.
    virtual bool applySettings(const QString &settings, QString *error) = 0;
    // Whether the port could take these settings, without changing anything; false
    // with the port's reason otherwise.
    virtual bool accepts(const QString &settings, QString *error) const
    {
        return LineSettings::parse(settings, nullptr, error);
    }
    // Port texts the opening sequence can name: "1".."12", a device path or HOST:PORT.
    static bool portTextValid(const QString &port, QString *error);
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The settings text read back from the port, e.g. "9600,N,8,1".
    virtual QString settings() const = 0;
    virtual QString portName() const = 0;

    // Queues bytes for transmission and returns at once.
    virtual bool write(const QByteArray &bytes) = 0;
    // Everything waiting, removed from the input buffer.
    virtual QByteArray readAll() = 0;
    virtual int bytesWaiting() const = 0;
    // Drops pending input.
    virtual void discardInput() = 0;
    // Output not yet sent, and the size the caller should keep its blocks within.
    virtual qint64 bytesToWrite() const = 0;
    virtual int outBufferSize() const = 0;
    // Bytes written that have not yet left the port: the program's own buffer and
    // whatever the driver still holds. 0 means everything is on the wire.
    virtual qint64 outputPending() const { return bytesToWrite(); }

signals:
    // One signal per arriving chunk or line event (CommEvent values).
    void commEvent(int event);
    // The device went away (unplugged adapter, pty closed); the port is closed.
    void lostDevice(const QString &reason);
};
