#include "PtySimulator.h"

#include "SimDevice.h"
#include "SimDownload.h"
#include "SimTransmitter.h"

#include <QTimer>

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
// How far reading may run ahead of the wire.
constexpr double ReadAheadMs = 40.0;
} // namespace

PtySimulator::PtySimulator(SimTransmitter *transmitter, QObject *parent) : QObject(parent), m_transmitter(transmitter)
{
}

PtySimulator::~PtySimulator()
{
    stop();
}

QString PtySimulator::start(QString *error)
{
    const auto fail = [&](const char *what) {
        const QString reason = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        if (error)
            *error = reason;
        return QString();
    };
    if (isRunning())
        return m_slavePath;
    if (!m_transmitter) {
        if (error)
            *error = QStringLiteral("no transmitter to serve");
        return QString();
    }
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0)
        return fail("open pty slave");
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtySimulator::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtySimulator::flush);
    connect(m_transmitter, &SimTransmitter::transmit, this, &PtySimulator::onTransmit);
    connect(m_transmitter->download(), &SimDownload::lineDropped, this, &PtySimulator::onLineDropped);
    m_readPause = new QTimer(this);
    m_readPause->setSingleShot(true);
    connect(m_readPause, &QTimer::timeout, this, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
        onReadable();
    });
    return m_slavePath;
}

void PtySimulator::stop()
{
    if (m_transmitter) {
        disconnect(m_transmitter, &SimTransmitter::transmit, this, &PtySimulator::onTransmit);
        disconnect(m_transmitter->download(), &SimDownload::lineDropped, this, &PtySimulator::onLineDropped);
    }
    delete m_readPause;
    m_readPause = nullptr;
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
    m_pending.clear();
}

void PtySimulator::onReadable()
{
    char buffer[4096];
    for (;;) {
        if (m_master < 0 || !m_transmitter)
            return;
        // Take only what the wire could have carried by now; the rest waits in the pty.
        const double ahead = m_transmitter->inputBacklogMs();
        const double charMs = m_transmitter->device()->comm().line.charMs();
        if (m_transmitter->pacing() && ahead > ReadAheadMs) {
            m_readNotifier->setEnabled(false);
            m_readPause->start(int(std::ceil(ahead - ReadAheadMs / 2)));
            return;
        }
        const size_t allowed = m_transmitter->pacing()
                                   ? size_t(std::clamp((ReadAheadMs - ahead) / charMs, 1.0, double(sizeof buffer)))
                                   : sizeof buffer;
        const ssize_t n = ::read(m_master, buffer, allowed);
        if (n > 0) {
            if (m_transmitter)
                m_transmitter->receive(QByteArray(buffer, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: drained. EIO cannot happen while our own slave descriptor is open.
    }
}

void PtySimulator::onLineDropped()
{
    // The cable is pulled: the master's end of the line goes dead.
    QMetaObject::invokeMethod(this, [this] { stop(); }, Qt::QueuedConnection);
}

void PtySimulator::onTransmit(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    m_pending += bytes;
    if (m_pending.size() > MaxPendingOutput)
        m_pending.remove(0, m_pending.size() - MaxPendingOutput);
    flush();
}

void PtySimulator::flush()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // full: wait until the reader makes room
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

} // namespace sim
