#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <vector>

class QTcpSocket;

namespace sim {

class SimTransmitter;

// Serves a simulated transmitter on a TCP port, as a Modbus TCP gateway or a serial
// device server would: the transmitter's framing (MBAP, RTU or ASCII) is carried on
// the socket as it is. Several clients may connect; they are served one request at a
// time, like masters sharing one RS-485 line behind a gateway: a client's bytes wait
// until the transmitter has answered the one before.
class TcpSimulator : public QObject {
    Q_OBJECT
public:
    explicit TcpSimulator(SimTransmitter *transmitter, QObject *parent = nullptr);
    ~TcpSimulator() override;

    // Listens on the address (loopback unless a caller asks otherwise); port 0 picks a
    // free one. Returns false with *error set.
    bool listen(const QHostAddress &address, quint16 port, QString *error = nullptr);
    // The address served, HOST:PORT ([v6]:PORT), as a master names it.
    QString address() const;
    quint16 port() const { return m_server.serverPort(); }
    int clientCount() const { return int(m_clients.size()); }
    // Closes every client connection at once, as a gateway that restarts does.
    void dropClients();

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        QByteArray waiting; // received, not yet handed to the transmitter
    };
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void onDisconnected(QTcpSocket *socket);
    void onTransmit(const QByteArray &bytes);
    // Hands the next client's bytes to the transmitter once it is idle.
    void serve();
    Client *find(QTcpSocket *socket);

    QPointer<SimTransmitter> m_transmitter;
    QTcpServer m_server;
    std::vector<Client> m_clients;
    QPointer<QTcpSocket> m_current; // the client whose request the transmitter has
    size_t m_nextTurn = 0;
    // Looks again while a client waits and the transmitter is busy.
    QTimer m_retry;
};

} // namespace sim
