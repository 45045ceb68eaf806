#pragma once

#include "NetworkAddress.h"
#include "SerialControl.h"

#include <QTcpSocket>

// The serial control on a network port: a TCP connection to a Modbus TCP gateway or a
// serial device server. Bytes pass unchanged in both directions; the framing (MBAP, or
// RTU/ASCII frames as they are) is the link's business. The line settings are kept
// only to be shown: the far side of the socket owns the serial line.
//
// open() connects and waits (without blocking the event loop) until the connection is
// up, refused, or the connect time-out has passed. A connection that drops while open
// is reported through lostDevice, as an unplugged adapter is.
class TcpSerialControl final : public SerialControl {
    Q_OBJECT
public:
    static constexpr int DefaultConnectTimeoutMs = 5000;

    explicit TcpSerialControl(QObject *parent = nullptr);
    ~TcpSerialControl() override;

    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }

    bool open(const QString &port, const QString &settings, QString *error) override;
    bool applySettings(const QString &settings, QString *error) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString settings() const override { return m_settings; }
    QString portName() const override { return m_address.text(); }
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override { return m_socket.readAll(); }
    int bytesWaiting() const override { return int(m_socket.bytesAvailable()); }
    void discardInput() override { m_socket.readAll(); }
    qint64 bytesToWrite() const override { return m_socket.bytesToWrite(); }
    int outBufferSize() const override { return 4096; }

private:
    QString failureReason() const;
    void onDisconnected();

    QTcpSocket m_socket;
    NetworkAddress m_address;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_connectTimeoutMs = DefaultConnectTimeoutMs;
    bool m_open = false;
};
