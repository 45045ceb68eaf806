#pragma once

#include "SerialControl.h"

#include <QByteArray>
#include <QPointer>

namespace sim {

class SimTransmitter;

// A serial port wired straight to a simulated transmitter in the same process.
// Bytes reach the transmitter through the event loop, never inside write(); its
// replies arrive as receive events. When the port's line settings differ from the
// transmitter's, nothing gets through in either direction, as on a real line
// where both ends must agree.
class SimSerialControl final : public SerialControl {
    Q_OBJECT
public:
    static constexpr int OutBufferBytes = 4096;

    explicit SimSerialControl(SimTransmitter *transmitter, QObject *parent = nullptr);

    bool open(const QString &port, const QString &settings, QString *error) override;
    bool applySettings(const QString &settings, QString *error) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString settings() const override { return m_settings; }
    QString portName() const override { return m_port; }

    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    int bytesWaiting() const override { return int(m_input.size()); }
    void discardInput() override { m_input.clear(); }
    qint64 bytesToWrite() const override { return 0; }
    int outBufferSize() const override { return OutBufferBytes; }

    // Everything written since the last call (tests look at the raw requests).
    QByteArray takeWritten() { return std::exchange(m_written, QByteArray()); }

private:
    bool lineMatches() const;
    void onTransmit(const QByteArray &bytes);

    QPointer<SimTransmitter> m_transmitter;
    bool m_open = false;
    QString m_port;
    QString m_settings = QStringLiteral("9600,N,8,1");
    QByteArray m_input;
    QByteArray m_written;
};

} // namespace sim
