#pragma once

#include "SerialControl.h"

#include <QList>

#include <functional>
#include <utility>

// A serial control for tests. It records what the link writes and delivers replies
// through the event loop, one receive event per chunk, as a real port does:
//
//   ScriptedSerialControl serial;
//   serial.setResponder([](const QByteArray &request) { return QList<QByteArray>{reply}; });
//   ModbusLink link(&serial, &session);
//   link.openPort();
//   link.Read_Regs(578, 18);              // the responder's chunks arrive during the wait
//   EXPECT_EQ(serial.writes().size(), 1);
//
// Without a responder nothing answers (the link's no-response timer then fires).
class ScriptedSerialControl final : public SerialControl {
    Q_OBJECT
public:
    // Chunks to deliver in answer to one request; an empty list means silence.
    using Responder = std::function<QList<QByteArray>(const QByteArray &request)>;

    using SerialControl::SerialControl;

    void setResponder(Responder r) { m_responder = std::move(r); }
    // The next open fails with this reason.
    void failNextOpen(const QString &reason) { m_openFailure = reason; }
    // Writes fail (the link then closes the port) while set.
    void setWriteFails(bool on) { m_writeFails = on; }

    // Queued: the chunk is appended to the input and one receive event follows.
    void deliver(const QByteArray &chunk);
    // Queued: a line event (SerialControl::CommEvent value) with no data.
    void deliverEvent(int event);
    // Queued: the device goes away; the port closes and lostDevice is emitted.
    void loseDevice(const QString &reason);

    const QList<QByteArray> &writes() const { return m_writes; }
    int openCount() const { return m_openCount; }
    int discardCount() const { return m_discardCount; }
    QString openedPort() const { return m_port; }

    bool open(const QString &port, const QString &settings, QString *error) override;
    bool applySettings(const QString &settings, QString *error) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString settings() const override { return m_settings; }
    QString portName() const override { return m_port; }
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override { return std::exchange(m_input, {}); }
    int bytesWaiting() const override { return int(m_input.size()); }
    void discardInput() override;
    qint64 bytesToWrite() const override { return 0; }
    int outBufferSize() const override { return 4096; }

private:
    void queue(std::function<void()> step);

    Responder m_responder;
    QList<QByteArray> m_writes;
    QByteArray m_input;
    QString m_openFailure;
    QString m_port;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    bool m_writeFails = false;
    int m_openCount = 0;
    int m_discardCount = 0;
    int m_session = 0; // deliveries queued before a close are dropped
};
