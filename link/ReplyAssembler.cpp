#include "ReplyAssembler.h"

#include "TraceLog.h"

#include <utility>

void ReplyAssembler::reset(int framing, const ReplyShape &shape)
{
    m_framing = framing;
    m_shape = shape;
    m_input.clear();
    m_message.clear();
    m_collecting = false;
    m_complete = false;
    m_dropped = 0;
    m_previousDropped = 0;
}

int ReplyAssembler::takeDropped()
{
    return std::exchange(m_dropped, 0);
}

ReplyAssembler::Result ReplyAssembler::feed(const QByteArray &chunk)
{
    m_input.append(chunk);
    if (m_complete)
        return Complete;
    return process();
}

ReplyAssembler::Result ReplyAssembler::next()
{
    m_message.clear();
    m_complete = false;
    m_collecting = false;
    return process();
}

ReplyAssembler::Result ReplyAssembler::process()
{
    switch (m_framing) {
    case ModbusFrame::Rtu: return processRtu();
    case ModbusFrame::Tcp: return processTcp();
    default: return processAscii();
    }
}

ReplyAssembler::Result ReplyAssembler::processAscii()
{
    const bool continuing = m_collecting;
    bool crLfWithoutStart = false;
    qsizetype used = 0;
    for (; used < m_input.size() && !m_complete; ++used) {
        const char c = m_input[used];
        if (c == ':') {
            m_dropped += int(m_message.size()); // a colon before any CR LF starts again
            m_message = ":";
            m_collecting = true;
            continue;
        }
        if (!m_collecting) {
            ++m_dropped;
            crLfWithoutStart = crLfWithoutStart || (m_previousDropped == '\r' && c == '\n');
            m_previousDropped = c;
            continue;
        }
        m_message.append(c);
        if (m_message.endsWith("\r\n")) {
            m_complete = true;
            m_collecting = false;
        } else if (m_message.size() > ModbusFrame::MaxReplyChars + 1) {
            // A message that long is no reply of ours; the caller's length check ends it.
            m_message.remove(0, 1);
            ++m_dropped;
        }
    }
    const int n = int(used);
    m_input.remove(0, used);
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

ReplyAssembler::Result ReplyAssembler::processRtu()
{
    m_message.append(m_input);
    m_input.clear();
    for (;;) {
        const int length = m_shape.frameLength(m_message);
        if (length < 0) {
            m_message.remove(0, 1);
            ++m_dropped;
            continue;
        }
        const int total = length + 2; // the CRC
        if (length == 0 || m_message.size() < total)
            return Incomplete;
        m_input = m_message.mid(total);
        m_message.truncate(total);
        m_complete = true;
        return Complete;
    }
}

ReplyAssembler::Result ReplyAssembler::processTcp()
{
    m_message.append(m_input);
    m_input.clear();
    constexpr int prefix = ModbusFrame::MbapPrefix;
    for (;;) {
        if (m_message.size() < prefix)
            return Incomplete;
        const int protocol = uint8_t(m_message[2]) << 8 | uint8_t(m_message[3]);
        const int length = uint8_t(m_message[4]) << 8 | uint8_t(m_message[5]);
        // Unit, function and at most 252 bytes more: anything else is no MBAP header.
        if (protocol != 0 || length < 2 || length > 254) {
            m_message.remove(0, 1);
            ++m_dropped;
            continue;
        }
        const int total = prefix + length;
        if (m_message.size() < total)
            return Incomplete;
        m_input = m_message.mid(total);
        m_message.truncate(total);
        m_complete = true;
        return Complete;
    }
}
