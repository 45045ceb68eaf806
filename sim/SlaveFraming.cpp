#include "SlaveFraming.h"

#include <cctype>

namespace sim {

uint8_t lrc(const QByteArray &bytes)
{
    uint8_t sum = 0;
    for (char c : bytes)
        sum = uint8_t(sum + uint8_t(c));
    return uint8_t(-sum);
}

uint16_t crc16(const QByteArray &bytes)
{
    uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

std::unique_ptr<SlaveFramer> SlaveFramer::create(int framing)
{
    if (framing == Rtu)
        return std::make_unique<RtuSlaveFramer>();
    if (framing == Tcp)
        return std::make_unique<TcpSlaveFramer>();
    return std::make_unique<AsciiSlaveFramer>();
}

// ---- ASCII ----

std::vector<SlaveRequest> AsciiSlaveFramer::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    std::vector<SlaveRequest> out;
    for (;;) {
        const int lf = int(m_buffer.indexOf('\n'));
        if (lf < 0) {
            // Keep only the newest frame start; without one nothing can become a frame.
            const int start = int(m_buffer.lastIndexOf(':'));
            if (start < 0 || m_buffer.size() - start > MaxFrameChars)
                m_buffer.clear();
            else if (start > 0)
                m_buffer.remove(0, start);
            break;
        }
        const QByteArray line = m_buffer.left(lf + 1);
        m_buffer.remove(0, lf + 1);
        // A colon always starts a new frame, so the last one before the LF counts.
        const int start = int(line.lastIndexOf(':'));
        if (start < 0 || !line.endsWith("\r\n"))
            continue;
        const QByteArray hex = line.mid(start + 1, line.size() - start - 3);
        if (hex.size() < 6 || hex.size() % 2 != 0)
            continue;
        bool valid = true;
        for (char c : hex)
            valid = valid && std::isxdigit(uchar(c));
        if (!valid)
            continue;
        const QByteArray raw = QByteArray::fromHex(hex);
        if (lrc(raw.left(raw.size() - 1)) != uint8_t(raw.back()))
            continue;
        out.push_back({uint8_t(raw[0]), raw.mid(1, raw.size() - 2)});
    }
    return out;
}

QByteArray AsciiSlaveFramer::frame(uint8_t unit, const QByteArray &pdu) const
{
    QByteArray raw;
    raw.append(char(unit));
    raw.append(pdu);
    raw.append(char(lrc(raw)));
    return ':' + raw.toHex().toUpper() + "\r\n";
}

void AsciiSlaveFramer::corruptChecksum(QByteArray &frame) const
{
    // The LRC's low digit stands just before CR LF.
    if (frame.size() < 4)
        return;
    char &digit = frame[frame.size() - 3];
    digit = digit == '0' ? '1' : '0';
}

// ---- RTU ----

int RtuSlaveFramer::expectedLength(const QByteArray &head)
{
    if (head.size() < 2)
        return 0;
    switch (uint8_t(head[1])) {
    case 1: case 2: case 3: case 4: case 5: case 6:
        return 8;
    case 15: case 16:
        return head.size() < 7 ? 0 : 9 + uint8_t(head[6]);
    default:
        return 0;
    }
}

bool RtuSlaveFramer::takeFrame(int length, std::vector<SlaveRequest> &out)
{
    const QByteArray frame = m_buffer.left(length);
    m_buffer.remove(0, length);
    if (length < 4)
        return false;
    const uint16_t crc = crc16(frame.left(length - 2));
    if (uint8_t(frame[length - 2]) != (crc & 0xFF) || uint8_t(frame[length - 1]) != (crc >> 8))
        return false;
    out.push_back({uint8_t(frame[0]), frame.mid(1, length - 3)});
    return true;
}

std::vector<SlaveRequest> RtuSlaveFramer::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    std::vector<SlaveRequest> out;
    while (!m_buffer.isEmpty()) {
        const int length = expectedLength(m_buffer);
        if (length == 0 || m_buffer.size() < length)
            break;
        if (!takeFrame(length, out)) {
            // Out of step with the frames: drop what is left until the line goes quiet.
            m_buffer.clear();
        }
    }
    if (m_buffer.size() > MaxFrameBytes)
        m_buffer.clear();
    return out;
}

std::vector<SlaveRequest> RtuSlaveFramer::silence()
{
    std::vector<SlaveRequest> out;
    if (!m_buffer.isEmpty())
        takeFrame(int(m_buffer.size()), out);
    m_buffer.clear();
    return out;
}

QByteArray RtuSlaveFramer::frame(uint8_t unit, const QByteArray &pdu) const
{
    QByteArray raw;
    raw.append(char(unit));
    raw.append(pdu);
    const uint16_t crc = crc16(raw);
    raw.append(char(crc & 0xFF));
    raw.append(char(crc >> 8));
    return raw;
}

void RtuSlaveFramer::corruptChecksum(QByteArray &frame) const
{
    if (!frame.isEmpty())
        frame[frame.size() - 1] = char(frame.back() ^ 0x5A);
}

// ---- Modbus TCP ----

namespace {
int at16(const QByteArray &b, int i)
{
    return uint8_t(b[i]) << 8 | uint8_t(b[i + 1]);
}
} // namespace

std::vector<SlaveRequest> TcpSlaveFramer::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    std::vector<SlaveRequest> out;
    while (m_buffer.size() >= 6) {
        const int length = at16(m_buffer, 4);
        if (at16(m_buffer, 2) != 0 || length < 2 || length > 254) {
            m_buffer.clear();
            break;
        }
        if (m_buffer.size() < 6 + length)
            break;
        out.push_back({uint8_t(m_buffer[6]), m_buffer.mid(7, length - 1), at16(m_buffer, 0)});
        m_buffer.remove(0, 6 + length);
    }
    return out;
}

QByteArray TcpSlaveFramer::frame(uint8_t unit, const QByteArray &pdu) const
{
    return frameReply({unit, pdu, 0}, pdu);
}

QByteArray TcpSlaveFramer::frameReply(const SlaveRequest &request, const QByteArray &pdu) const
{
    const int length = int(pdu.size()) + 1;
    QByteArray out;
    for (int v : {request.transaction & 0xFFFF, 0, length}) {
        out.append(char(v >> 8));
        out.append(char(v & 0xFF));
    }
    out.append(char(request.unit));
    return out + pdu;
}

void TcpSlaveFramer::corruptChecksum(QByteArray &frame) const
{
    if (frame.size() >= 4)
        frame[3] = 1;
}

} // namespace sim
