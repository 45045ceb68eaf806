#pragma once

#include "QtSerialControl.h"
#include "TcpSerialControl.h"

// The serial control the program and tarvine-cli use: a serial port for "1".."12" or
// a device path, a TCP connection for HOST:PORT. Which one is decided at each open;
// everything else goes to the one last opened.
class PortControl final : public SerialControl {
    Q_OBJECT
public:
    explicit PortControl(QObject *parent = nullptr);

    TcpSerialControl &network() { return m_network; }
    bool onNetwork() const { return m_active == &m_network; }

    bool open(const QString &port, const QString &settings, QString *error) override;
    bool applySettings(const QString &settings, QString *error) override { return m_active->applySettings(settings, error); }
    bool accepts(const QString &settings, QString *error) const override { return m_active->accepts(settings, error); }
    void close() override { m_active->close(); }
    bool isOpen() const override { return m_active->isOpen(); }
    QString settings() const override { return m_active->settings(); }
    QString portName() const override { return m_active->portName(); }
    bool write(const QByteArray &bytes) override { return m_active->write(bytes); }
    QByteArray readAll() override { return m_active->readAll(); }
    int bytesWaiting() const override { return m_active->bytesWaiting(); }
    void discardInput() override { m_active->discardInput(); }
    qint64 bytesToWrite() const override { return m_active->bytesToWrite(); }
    int outBufferSize() const override { return m_active->outBufferSize(); }
    qint64 outputPending() const override { return m_active->outputPending(); }

private:
    QtSerialControl m_serial;
    TcpSerialControl m_network;
    SerialControl *m_active = &m_serial;
};
