#include "ReplyAssembler.h"

#include "Codec.h"
#include "TraceLog.h"

void ReplyAssembler::reset(int framing)
{
    m_framing = framing;
    m_message.clear();
    m_collecting = false;
    m_complete = false;
    m_previousDropped = 0;
}

ReplyAssembler::Result ReplyAssembler::feed(const QByteArray &chunk)
{
    if (m_complete)
        return Complete;
    return m_framing == ModbusFrame::Rtu ? feedRtu(chunk) : feedAscii(chunk);
}

ReplyAssembler::Result ReplyAssembler::feedAscii(const QByteArray &chunk)
{
    const bool continuing = m_collecting;
    bool crLfWithoutStart = false;
    for (char c : chunk) {
        if (c == ':') {
            m_message = ":";
            m_collecting = true;
            continue;
        }
        if (!m_collecting) {
            crLfWithoutStart = crLfWithoutStart || (m_previousDropped == '\r' && c == '\n');
            m_previousDropped = c;
            continue;
        }
        m_message.append(c);
        if (m_message.endsWith("\r\n")) {
            m_complete = true;
            m_collecting = false;
            break;
        }
        // A message that long is no reply of ours; the caller's length check ends it.
        if (m_message.size() > ModbusFrame::MaxReplyChars)
            m_message.remove(0, 1);
    }
    const int n = int(chunk.size());
    if (m_complete) {
        if (continuing)
            trace(QStringLiteral("MSComm Rcv 2nd Partial Msg w/CRLF, size:%1").arg(n));
        trace(QStringLiteral("MSComm Recvd, entire msg size Count = %1").arg(m_message.size()));
        return Complete;
    }
    if (m_collecting) {
        if (continuing)
            trace(QStringLiteral("MSCommRecvd, msg segment, inbufcount = %1").arg(n));
        else
            trace(QStringLiteral("MSComm Rcv 1st Partial Msg w/ \":\", Size:%1").arg(n));
        trace(QStringLiteral("MSCommRecvd, Total cur Msg size: %1").arg(m_message.size()));
    }
    return crLfWithoutStart ? CrLfWithoutStart : Incomplete;
}

int ReplyAssembler::expectedRtuLength() const
{
    if (m_message.size() < 2)
        return 0;
    const uint8_t function = uint8_t(m_message[1]);
    if (function & 0x80)
        return 5;
    switch (function) {
    case 5: case 6: case 15: case 16:
        return 8;
    case 1: case 2: case 3: case 4:
        return m_message.size() < 3 ? 0 : 5 + uint8_t(m_message[2]);
    default:
        return -1;
    }
}

ReplyAssembler::Result ReplyAssembler::feedRtu(const QByteArray &chunk)
{
    m_message.append(chunk);
    const int expected = expectedRtuLength();
    if (expected == 0)
        return Incomplete;
    if (expected > 0) {
        if (m_message.size() < expected)
            return Incomplete;
        m_message.truncate(expected);
    }
    m_complete = true;
    return Complete;
}
