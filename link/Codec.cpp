#include "Codec.h"

#include "TraceLog.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t CrcPolynomial = 0xA001;

constexpr uint16_t crcStep(uint16_t crc)
{
    return (crc & 1u) ? uint16_t((crc >> 1) ^ CrcPolynomial) : uint16_t(crc >> 1);
}

// Entry i is the CRC register after eight shift steps started from i.
constexpr std::array<uint16_t, 256> makeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = uint16_t(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = crcStep(crc);
        table[size_t(i)] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> CrcTable = makeCrcTable();

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The byte value of the two characters at index i, or -1 when either is missing or not hex.
int hexPairAt(const QByteArray &text, int i)
{
    if (i < 0 || i + 1 >= text.size())
        return -1;
    const int hi = hexDigit(text[i]);
    const int lo = hexDigit(text[i + 1]);
    return (hi < 0 || lo < 0) ? -1 : hi << 4 | lo;
}

void put16(QByteArray &frame, int value)
{
    frame.append(char((value >> 8) & 0xFF));
    frame.append(char(value & 0xFF));
}

QByteArray header(int unitId, ModbusFrame::Function function, int address)
{
    QByteArray frame;
    frame.reserve(ModbusFrame::BufferSize);
    frame.append(char(unitId & 0xFF));
    frame.append(char(function));
    put16(frame, address);
    return frame;
}

const uint8_t *bytesOf(const QByteArray &b)
{
    return reinterpret_cast<const uint8_t *>(b.constData());
}

QString textUpToNul(const QByteArray &message)
{
    const int nul = int(message.indexOf('\0'));
    return QString::fromLatin1(nul < 0 ? message : message.left(nul));
}

ParsedReply failed(ParsedReply r)
{
    r.exception = 12;
    r.corrupt = true;
    r.data.clear();
    return r;
}

// The exception code an exception reply carries; a code of 0 there is nonsense.
int exceptionCode(uint8_t code)
{
    return code == 0 ? 12 : code;
}

ParsedReply parseAscii(const QByteArray &msg, ParsedReply r)
{
    const int L = int(msg.size());
    if (L < 1 || msg[0] != ':') {
        trace(QStringLiteral("Modlink: reply without start: ") + textUpToNul(msg));
        return failed(r);
    }
    // Every pair between the colon and the first CR or LF is one frame byte, the last the LRC.
    QByteArray bytes;
    bool malformed = false;
    for (int pos = 1; pos < L && msg[pos] != '\r' && msg[pos] != '\n'; pos += 2) {
        const int v = hexPairAt(msg, pos);
        malformed = malformed || v < 0;
        bytes.append(char(std::max(v, 0)));
    }
    const int k = int(bytes.size());
    // Address, function, one more byte and the LRC at the least.
    if (malformed || k < 4) {
        trace(QStringLiteral("Modlink: malformed reply: ") + textUpToNul(msg));
        return failed(r);
    }
    const int computed = Calc_LRC(bytesOf(bytes), uint16_t(k - 1));
    const int received = hexPairAt(msg, L - 4);
    if (computed != received) {
        trace(QStringLiteral("Modlink: CRC not equal: ") + textUpToNul(msg));
        // Some firmware leaves the last two bytes out of the sum; such replies are accepted.
        if (Calc_LRC(bytesOf(bytes), uint16_t(k - 3)) != uint8_t(bytes[k - 1]))
            return failed(r);
    }
    const uint8_t function = uint8_t(bytes[1]);
    if (function & 0x80) {
        r.exception = exceptionCode(uint8_t(bytes[2]));
        return r;
    }
    r.data = bytes.mid(3, k - 4);
    return r;
}

ParsedReply parseRtu(const QByteArray &msg, ParsedReply r)
{
    const int L = int(msg.size());
    // Address, function, one byte and the two CRC bytes at the least.
    if (L < 5) {
        trace(QStringLiteral("Modlink: short reply: ") + ModbusFrame::hexText(msg));
        return failed(r);
    }
    const uint16_t computed = Calc_CRC(bytesOf(msg), uint16_t(L - 2));
    const uint16_t received = uint16_t(uint8_t(msg[L - 2]) | uint8_t(msg[L - 1]) << 8);
    if (computed != received) {
        trace(QStringLiteral("Modlink: CRC not equal: ") + ModbusFrame::hexText(msg));
        return failed(r);
    }
    const uint8_t function = uint8_t(msg[1]);
    if (function & 0x80) {
        r.exception = exceptionCode(uint8_t(msg[2]));
        return r;
    }
    r.data = msg.mid(3, L - 5);
    return r;
}

// MBAP header, unit, function, data: TCP checks the bytes, so there is no checksum.
ParsedReply parseTcp(const QByteArray &msg, ParsedReply r)
{
    const QByteArray frame = msg.mid(ModbusFrame::MbapPrefix);
    if (frame.size() < 3) {
        trace(QStringLiteral("Modlink: short reply: ") + ModbusFrame::hexText(msg));
        return failed(r);
    }
    if (uint8_t(frame[1]) & 0x80) {
        r.exception = exceptionCode(uint8_t(frame[2]));
        return r;
    }
    r.data = frame.mid(3);
    return r;
}

} // namespace

uint8_t Calc_LRC(const uint8_t *bytes, uint16_t length)
{
    uint8_t sum = 0;
    for (uint16_t i = 0; i < length; ++i)
        sum = uint8_t(sum + bytes[i]);
    return uint8_t(-sum);
}

uint16_t Calc_CRC(const uint8_t *bytes, uint16_t length)
{
    uint16_t crc = 0xFFFF;
    for (uint16_t i = 0; i < length; ++i)
        crc = uint16_t((crc >> 8) ^ CrcTable[(crc ^ bytes[i]) & 0xFF]);
    return crc;
}

uint16_t Calc_CRC_Bitwise(const uint8_t *bytes, uint16_t length)
{
    uint16_t crc = 0xFFFF;
    for (uint16_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crcStep(crc);
    }
    return crc;
}

namespace ModbusFrame {

QByteArray readCoilStatus(int unitId, int firstCoil, int coilCount)
{
    QByteArray frame = header(unitId, ReadCoilStatus, firstCoil);
    put16(frame, coilCount);
    return frame;
}

QByteArray readHoldingRegisters(int unitId, int firstRegister, int registerCount)
{
    QByteArray frame = header(unitId, ReadHoldingRegisters, firstRegister);
    put16(frame, registerCount);
    return frame;
}

QByteArray forceSingleCoil(int unitId, int coil, uint16_t value)
{
    QByteArray frame = header(unitId, ForceSingleCoil, coil);
    put16(frame, value);
    return frame;
}

QByteArray presetMultipleRegisters(int unitId, int firstRegister, const uint8_t *data, int byteCount)
{
    const int registerCount = byteCount / 2;
    QByteArray frame = header(unitId, PresetMultipleRegisters, firstRegister);
    put16(frame, registerCount);
    frame.append(char(2 * (registerCount % 256)));
    frame.append(reinterpret_cast<const char *>(data), byteCount);
    return frame;
}

QByteArray mbap(uint16_t transaction, const QByteArray &frame)
{
    QByteArray out;
    put16(out, transaction);
    put16(out, 0);
    put16(out, int(frame.size()));
    return out + frame;
}

QByteArray withChecksum(const QByteArray &frame, int framing)
{
    QByteArray out = frame;
    if (framing == Tcp)
        return out;
    if (framing == Rtu) {
        const uint16_t crc = Calc_CRC(frame);
        out.append(char(crc & 0xFF));
        out.append(char(crc >> 8));
    } else {
        out.append(char(Calc_LRC(frame)));
    }
    return out;
}

QByteArray encode(const QByteArray &frame, int framing)
{
    if (framing != Ascii)
        return frame;
    return ':' + frame.toHex().toUpper() + "\r\n";
}

int maxReadBytes(int framing)
{
    // Modbus TCP: at most 125 registers, as gateways hold to the protocol's limit.
    if (framing == Tcp)
        return 250;
    // Reply: address, function, byte count, data, checksum; the byte count field is one byte.
    const int fit = framing == Rtu ? MaxReplyChars - 5 : (MaxReplyChars - 3) / 2 - 4;
    return std::min(fit, 254) & ~1;
}

int maxWriteBytes(int framing)
{
    if (framing == Tcp)
        return 246; // 123 registers
    // Request: address, function, first, count, byte count, data, checksum.
    const int fit = framing == Rtu ? BufferSize - 9 : (BufferSize - 3) / 2 - 8;
    return std::min(fit, 254) & ~1;
}

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace ModbusFrame

ReplyShape ReplyShape::of(const QByteArray &request)
{
    ReplyShape shape;
    if (request.size() < 6)
        return shape;
    shape.function = uint8_t(request[1]);
    const int count = uint8_t(request[4]) << 8 | uint8_t(request[5]);
    switch (shape.function) {
    case ModbusFrame::ReadCoilStatus:
        shape.byteCount = (count + 7) / 8;
        break;
    case ModbusFrame::ReadHoldingRegisters:
        shape.byteCount = 2 * count;
        break;
    default:
        shape.echo = request.mid(2, 4);
        break;
    }
    return shape;
}

int ReplyShape::frameLength(const QByteArray &bytes) const
{
    if (bytes.size() < 2)
        return 0;
    const uint8_t f = uint8_t(bytes[1]);
    const bool anyFunction = function == 0;
    if (f & 0x80)
        return anyFunction || f == (function | 0x80) ? 3 : -1;
    if (!anyFunction && f != function)
        return -1;
    switch (f) {
    case ModbusFrame::ReadCoilStatus:
    case ModbusFrame::ReadHoldingRegisters:
        if (bytes.size() < 3)
            return 0;
        if (!anyFunction && uint8_t(bytes[2]) != byteCount)
            return -1;
        return 3 + uint8_t(bytes[2]);
    case ModbusFrame::ForceSingleCoil:
    case ModbusFrame::PresetMultipleRegisters:
        if (bytes.size() < 6)
            return anyFunction || echo.startsWith(bytes.mid(2)) ? 0 : -1;
        return anyFunction || bytes.mid(2, 4) == echo ? 6 : -1;
    default:
        return -1;
    }
}

ReplyShape::Fit ReplyShape::fit(const QByteArray &message, int framing) const
{
    QByteArray bytes;
    if (framing == ModbusFrame::Tcp) {
        // Only the request's transaction, protocol 0 and a length that covers the rest count.
        const int prefix = ModbusFrame::MbapPrefix;
        if (message.size() < prefix + 2)
            return Foreign;
        const auto at16 = [&](int i) { return uint8_t(message[i]) << 8 | uint8_t(message[i + 1]); };
        if (at16(0) != transaction || at16(2) != 0 || at16(4) != message.size() - prefix)
            return Foreign;
        bytes = message.mid(prefix);
        return frameLength(bytes) == bytes.size() ? Fits : Foreign;
    }
    if (framing == ModbusFrame::Rtu) {
        bytes = message;
    } else {
        // ":" hex pairs CR LF; anything else is no reply of ours.
        const int end = int(message.indexOf('\r'));
        if (!message.startsWith(':') || end < 0 || (end - 1) % 2 != 0)
            return Foreign;
        for (int pos = 1; pos < end; pos += 2) {
            const int v = hexPairAt(message, pos);
            if (v < 0)
                return Foreign;
            bytes.append(char(v));
        }
    }
    const int length = frameLength(bytes);
    if (length <= 0)
        return Foreign;
    const int checksumBytes = framing == ModbusFrame::Rtu ? 2 : 1;
    return bytes.size() == length + checksumBytes ? Fits : WrongLength;
}

ParsedReply Parse_Reply(const QByteArray &message, int receivedLength, int framing, bool commOverride)
{
    ParsedReply r;
    if (commOverride)
        return r;
    r.decoded = true;
    const int L = std::clamp(receivedLength, 0, int(std::min<qsizetype>(message.size(), ModbusFrame::BufferSize)));
    const QByteArray msg = message.left(L);
    switch (framing) {
    case ModbusFrame::Rtu: return parseRtu(msg, r);
    case ModbusFrame::Tcp: return parseTcp(msg, r);
    default: return parseAscii(msg, r);
    }
}
