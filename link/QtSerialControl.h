#pragma once

#include "SerialControl.h"
#include "SerialSettingsText.h"

#include <QSerialPort>

#include <array>

// The serial control on a real port or a pseudo-terminal, through QSerialPort.
// Ports open exclusively. Line errors (framing, parity, overrun, break, buffer
// overrun) are read from the Linux driver's error counters where the device keeps
// them (UARTs and most USB adapters; pseudo-terminals do not).
class QtSerialControl final : public SerialControl {
    Q_OBJECT
public:
    explicit QtSerialControl(QObject *parent = nullptr);
    ~QtSerialControl() override;

    // "1".."12" → /dev/ttyS0../dev/ttyS11; a text starting with "/" is a path; else empty.
    static QString devicePath(const QString &port);

    bool open(const QString &port, const QString &settings, QString *error) override;
    bool applySettings(const QString &settings, QString *error) override;
    bool accepts(const QString &settings, QString *error) const override;
    // What a Linux serial port refuses: rates that are not standard speeds.
    static bool supports(const LineSettings &line, QString *error);
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    QString settings() const override;
    QString portName() const override { return m_path; }
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    int bytesWaiting() const override { return int(m_port.bytesAvailable()); }
    void discardInput() override;
    qint64 bytesToWrite() const override { return m_port.bytesToWrite(); }
    int outBufferSize() const override { return 4096; }
    qint64 outputPending() const override;

    // True when the driver reports line-error counters for the open port.
    bool lineErrorCountersAvailable() const { return m_countersAvailable; }

private:
    bool configure(const LineSettings &line, QString *error);
    QString openFailureText() const;
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    // Emits one line event for each counter that grew since the last look.
    void checkLineErrors();
    bool readCounters(std::array<int, 5> *counters) const;

    QSerialPort m_port;
    QString m_path;
    LineSettings m_line;
    bool m_countersAvailable = false;
    std::array<int, 5> m_counters{}; // frame, parity, overrun, break, buffer overrun
};
