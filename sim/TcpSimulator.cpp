#include "TcpSimulator.h"

#include "SimTransmitter.h"

#include <QTcpSocket>

#include <algorithm>

namespace sim {

namespace {
constexpr int RetryMs = 2;
}

TcpSimulator::TcpSimulator(SimTransmitter *transmitter, QObject *parent) : QObject(parent), m_transmitter(transmitter)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpSimulator::onNewConnection);
    connect(transmitter, &SimTransmitter::transmit, this, &TcpSimulator::onTransmit);
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &TcpSimulator::serve);
}

TcpSimulator::~TcpSimulator()
{
    dropClients();
    m_server.close();
}

bool TcpSimulator::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server.listen(address, port))
        return true;
    if (error)
        *error = m_server.errorString();
    return false;
}

QString TcpSimulator::address() const
{
    const QHostAddress a = m_server.serverAddress();
    const QString host = a.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + a.toString() + QLatin1Char(']')
                                                                         : a.toString();
    return host + QLatin1Char(':') + QString::number(m_server.serverPort());
}

void TcpSimulator::dropClients()
{
    for (Client &c : std::exchange(m_clients, {})) {
        if (c.socket) {
            c.socket->disconnect(this);
            c.socket->abort();
            c.socket->deleteLater();
        }
    }
    m_current = nullptr;
    if (m_transmitter)
        m_transmitter->dropInput();
}

TcpSimulator::Client *TcpSimulator::find(QTcpSocket *socket)
{
    const auto it = std::find_if(m_clients.begin(), m_clients.end(), [socket](const Client &c) { return c.socket == socket; });
    return it == m_clients.end() ? nullptr : &*it;
}

void TcpSimulator::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_clients.push_back({socket, {}});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
    }
}

void TcpSimulator::onReadyRead(QTcpSocket *socket)
{
    Client *client = find(socket);
    if (!client)
        return;
    client->waiting += socket->readAll();
    serve();
}

void TcpSimulator::onDisconnected(QTcpSocket *socket)
{
    std::erase_if(m_clients, [socket](const Client &c) { return c.socket == socket; });
    if (m_current == socket) {
        m_current = nullptr;
        if (m_transmitter)
            m_transmitter->dropInput();
    }
    socket->deleteLater();
    serve();
}

void TcpSimulator::serve()
{
    if (!m_transmitter || m_clients.empty())
        return;
    // The rest of a request the transmitter has begun to receive goes straight on.
    Client *current = m_current ? find(m_current) : nullptr;
    if (current && !current->waiting.isEmpty() && !m_transmitter->idle()) {
        m_transmitter->receive(std::exchange(current->waiting, {}));
        return;
    }
    const bool someoneWaits = std::any_of(m_clients.begin(), m_clients.end(), [](const Client &c) { return !c.waiting.isEmpty(); });
    if (!someoneWaits)
        return;
    if (!m_transmitter->idle()) {
        m_retry.start();
        return;
    }
    // Round robin, so that a busy client does not starve the others.
    for (size_t i = 0; i < m_clients.size(); ++i) {
        Client &c = m_clients[(m_nextTurn + i) % m_clients.size()];
        if (c.waiting.isEmpty())
            continue;
        m_nextTurn = (m_nextTurn + i + 1) % m_clients.size();
        m_current = c.socket;
        m_transmitter->receive(std::exchange(c.waiting, {}));
        return;
    }
}

void TcpSimulator::onTransmit(const QByteArray &bytes)
{
    if (m_current)
        m_current->write(bytes);
    if (m_transmitter && m_transmitter->idle())
        serve();
}

} // namespace sim
