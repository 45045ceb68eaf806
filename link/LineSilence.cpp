#include "LineSilence.h"

#include <algorithm>

qint64 LineSilence::interFrameGapUs(const LineSettings &line)
{
    if (line.baud > FastLineBaud)
        return FastLineGapUs;
    // 3.5 characters, rounded up to the next microsecond.
    return (qint64(7) * line.bitsPerChar() * 1'000'000 + 2 * line.baud - 1) / (2 * qint64(line.baud));
}

qint64 LineSilence::wireTimeUs(const LineSettings &line, qint64 characters)
{
    return (characters * line.bitsPerChar() * 1'000'000 + line.baud - 1) / line.baud;
}

void LineSilence::configure(const LineSettings &line, bool rtu, int extraMs, int turnaroundMs)
{
    m_line = line;
    m_rtu = rtu;
    m_extraUs = qint64(std::max(extraMs, 0)) * 1000;
    m_turnaroundUs = qint64(std::max(turnaroundMs, 0)) * 1000;
}

void LineSilence::received(qint64 atUs)
{
    m_lastTrafficUs = atUs;
}

void LineSilence::sent(qint64 atUs, qint64 characters, bool broadcast)
{
    // The port may still hold earlier output; the frame ends no sooner than its own wire time.
    const qint64 endUs = std::max(atUs, m_lastTrafficUs) + wireTimeUs(m_line, characters);
    m_lastTrafficUs = endUs;
    if (broadcast)
        m_broadcastEndUs = endUs;
}

qint64 LineSilence::readyAtUs() const
{
    if (m_lastTrafficUs < 0)
        return 0;
    const qint64 gapUs = (m_rtu ? interFrameGapUs(m_line) : 0) + m_extraUs;
    qint64 ready = m_lastTrafficUs + gapUs;
    if (m_broadcastEndUs >= 0)
        ready = std::max(ready, m_broadcastEndUs + m_turnaroundUs + m_extraUs);
    return ready;
}
