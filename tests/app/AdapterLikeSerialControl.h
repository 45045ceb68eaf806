#pragma once

#include "QtSerialControl.h"
#include "SimSerialControl.h"

// The in-process simulated transmitter behind a port that refuses line settings as
// the program's serial adapter does (9 data bits, rates that are no standard speed),
// whether the port is open or closed. The simulator alone takes any settings.
class AdapterLikeSerialControl final : public SerialControl {
public:
    explicit AdapterLikeSerialControl(sim::SimTransmitter *transmitter)
        : m_port(new sim::SimSerialControl(transmitter, this))
    {
        connect(m_port, &SerialControl::commEvent, this, &SerialControl::commEvent);
        connect(m_port, &SerialControl::lostDevice, this, &SerialControl::lostDevice);
    }

    bool accepts(const QString &settings, QString *error) const override
    {
        LineSettings line;
        return LineSettings::parse(settings, &line, error) && QtSerialControl::supports(line, error);
    }
    bool open(const QString &port, const QString &settings, QString *error) override
    {
        return (settings.isEmpty() || accepts(settings, error)) && m_port->open(port, settings, error);
    }
    bool applySettings(const QString &settings, QString *error) override
    {
        return accepts(settings, error) && m_port->applySettings(settings, error);
    }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    QString settings() const override { return m_port->settings(); }
    QString portName() const override { return m_port->portName(); }
    bool write(const QByteArray &bytes) override { return m_port->write(bytes); }
    QByteArray readAll() override { return m_port->readAll(); }
    int bytesWaiting() const override { return m_port->bytesWaiting(); }
    void discardInput() override { m_port->discardInput(); }
    qint64 bytesToWrite() const override { return m_port->bytesToWrite(); }
    int outBufferSize() const override { return m_port->outBufferSize(); }

private:
    sim::SimSerialControl *m_port;
};
