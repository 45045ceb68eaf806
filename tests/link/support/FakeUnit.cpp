#include "FakeUnit.h"

#include "Codec.h"

namespace {

int be16(const QByteArray &b, int at)
{
    return uint8_t(b[at]) << 8 | uint8_t(b[at + 1]);
}

void put16(QByteArray &b, int v)
{
    b.append(char(v >> 8));
    b.append(char(v & 0xFF));
}

} // namespace

FakeUnit::FakeUnit(int framing, int unitId) : framing(framing), unitId(unitId), registers(6804, '\0') {}

QByteArray FakeUnit::wire(const QByteArray &frame, int framing)
{
    if (framing == 1) {
        const uint16_t crc = Calc_CRC(frame);
        return frame + char(crc & 0xFF) + char(crc >> 8);
    }
    return ':' + (frame + char(Calc_LRC(frame))).toHex().toUpper() + "\r\n";
}

uint16_t FakeUnit::reg(int r) const
{
    return uint16_t(be16(registers, 2 * r));
}

void FakeUnit::setReg(int r, uint16_t v)
{
    registers[2 * r] = char(v >> 8);
    registers[2 * r + 1] = char(v & 0xFF);
}

bool FakeUnit::coil(int c) const
{
    const auto it = coils.find(c);
    return it != coils.end() && it->second;
}

QByteArray FakeUnit::decodeRequest(const QByteArray &w) const
{
    if (framing == 1)
        return w.size() > 2 ? w.left(w.size() - 2) : QByteArray();
    if (!w.startsWith(':') || !w.endsWith("\r\n"))
        return {};
    const QByteArray bytes = QByteArray::fromHex(w.mid(1, w.size() - 3));
    return bytes.left(bytes.size() - 1);
}

QList<QByteArray> FakeUnit::respond(const QByteArray &w)
{
    const QByteArray request = decodeRequest(w);
    requests.append(request);
    if (silent || request.size() < 6)
        return {};
    if (request[0] == 0) { // a broadcast is carried out and never answered
        answer(request);
        return {};
    }
    const QByteArray reply = wire(answer(request), framing);
    if (chunkSize <= 0)
        return {reply};
    QList<QByteArray> chunks;
    for (int i = 0; i < reply.size(); i += chunkSize)
        chunks.append(reply.mid(i, chunkSize));
    return chunks;
}

QByteArray FakeUnit::answer(const QByteArray &request)
{
    const int function = uint8_t(request[1]);
    QByteArray out;
    out.append(char(unitId));
    if (exception != 0) {
        out.append(char(function | 0x80));
        out.append(char(exception));
        return out;
    }
    out.append(char(function));
    const int address = be16(request, 2);
    const int count = be16(request, 4);
    switch (function) {
    case 1: {
        QByteArray bits((count + 7) / 8, '\0');
        for (int i = 0; i < count; ++i) {
            if (coil(address + i))
                bits[i / 8] = char(bits[i / 8] | (1 << (i % 8)));
        }
        out.append(char(bits.size()));
        out.append(bits);
        break;
    }
    case 3:
        out.append(char(2 * count));
        out.append(registers.mid(2 * address, 2 * count));
        break;
    case 5:
        coils[address] = count == 0xFF00;
        out.append(request.mid(2, 4));
        if (onCoilForced)
            onCoilForced(address, count == 0xFF00);
        break;
    case 16:
        registers.replace(2 * address, 2 * count, request.mid(7, 2 * count));
        put16(out, address);
        put16(out, count);
        break;
    default:
        out[1] = char(function | 0x80);
        out.append(char(1));
    }
    return out;
}
