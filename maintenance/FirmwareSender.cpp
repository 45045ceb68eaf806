#include "FirmwareSender.h"

#include "Clock.h"
#include "SerialControl.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QIODevice>

FirmwareSender::FirmwareSender(SerialControl &serial, QObject *parent) : QObject(parent), m_serial(serial) {}

bool FirmwareSender::waitUntilDrained(qint64 total)
{
    ClockTimer pause;
    pause.setSingleShot(true);
    QEventLoop loop;
    connect(&pause, &ClockTimer::timeout, &loop, &QEventLoop::quit);
    // Messages waiting run before every chunk, even when the port has already
    // drained: Escape and the line's own events must get through.
    QCoreApplication::processEvents();
    for (;;) {
        if (!m_serial.isOpen())
            return false;
        const qint64 pending = m_serial.outputPending();
        m_sent = m_written - pending;
        emit progress(m_sent, total);
        if (pending <= 0)
            return true;
        pause.start(PollMs);
        loop.exec();
    }
}

FirmwareSender::Result FirmwareSender::send(QIODevice &file)
{
    m_written = m_sent = 0;
    const qint64 total = file.size();
    const int chunkSize = std::max(1, m_serial.outBufferSize());
    for (;;) {
        if (!waitUntilDrained(total))
            return Result::PortClosed;
        QByteArray chunk(chunkSize, Qt::Uninitialized);
        const qint64 n = file.read(chunk.data(), chunkSize);
        if (n < 0)
            return Result::FileError;
        if (n == 0)
            return m_written == 0 ? Result::EmptyFile : Result::Sent;
        chunk.truncate(n);
        if (!m_serial.write(chunk))
            return m_serial.isOpen() ? Result::WriteFailed : Result::PortClosed;
        m_written += chunk.size();
    }
}
