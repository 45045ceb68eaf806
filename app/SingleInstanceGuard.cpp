#include "SingleInstanceGuard.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {
constexpr int ConnectWaitMs = 500;
const QByteArray RaiseRequest = "raise\n";
} // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString &executablePath, QObject *parent)
    : QObject(parent), m_name(serverNameFor(executablePath))
{
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

QString SingleInstanceGuard::serverNameFor(const QString &executablePath)
{
    // Socket names are short; the path's hash keeps copies in other folders apart,
    // the user ID keeps users apart.
    const QString path = QFileInfo(executablePath).canonicalFilePath().isEmpty()
                             ? QFileInfo(executablePath).absoluteFilePath()
                             : QFileInfo(executablePath).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    return QStringLiteral("tarvine-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstanceGuard::askRunningCopy()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(ConnectWaitMs))
        return false;
    socket.write(RaiseRequest);
    socket.waitForBytesWritten(ConnectWaitMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstanceGuard::claim()
{
    if (askRunningCopy())
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Nobody answered, so a socket file that is still there is left from a crash.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) {
            // Another copy may have won the race since we asked.
            if (askRunningCopy())
                return false;
            qWarning("Single-instance guard not active: %s", qPrintable(m_server->errorString()));
            return true;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceGuard::acceptConnections);
    return true;
}

void SingleInstanceGuard::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(RaiseRequest.trimmed()))
                emit raiseRequested();
        });
    }
}
