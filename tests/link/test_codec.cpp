#include "Codec.h"
#include "TraceLog.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

namespace {

const uint8_t *u8(const QByteArray &b)
{
    return reinterpret_cast<const uint8_t *>(b.constData());
}

bool traced(const QString &prefix)
{
    const auto &lines = TraceLog::instance().lines();
    return !lines.isEmpty() && lines.back().text.startsWith(prefix);
}

// An ASCII reply frame with a given LRC byte (normally the right one).
QByteArray asciiWithLrc(const QByteArray &frame, uint8_t lrc)
{
    return ':' + (frame + char(lrc)).toHex().toUpper() + "\r\n";
}

} // namespace

TEST(Checksums, MatchTheReferenceValues)
{
    const QByteArray digits("123456789");
    EXPECT_EQ(Calc_CRC(digits), 0x4B37);
    EXPECT_EQ(Calc_CRC_Bitwise(u8(digits), 9), 0x4B37);
    EXPECT_EQ(Calc_CRC(nullptr, 0), 0xFFFF);
    EXPECT_EQ(Calc_CRC_Bitwise(nullptr, 0), 0xFFFF);
    EXPECT_EQ(Calc_LRC(nullptr, 0), 0);
    // A sum of exactly 256 wraps to 0.
    EXPECT_EQ(Calc_LRC(QByteArray::fromHex("FF01")), 0x00);

    // The table and the bit-by-bit computation agree on arbitrary data.
    QRandomGenerator rng(7);
    for (int len : {1, 2, 3, 17, 255, 512}) {
        QByteArray data(len, '\0');
        for (char &c : data)
            c = char(rng.bounded(256));
        EXPECT_EQ(Calc_CRC(data), Calc_CRC_Bitwise(u8(data), uint16_t(len))) << len;
    }
}

TEST(RequestFrames, WorkedExamplesInBothFramings)
{
    const QByteArray read = ModbusFrame::readHoldingRegisters(1, 578, 9);
    EXPECT_EQ(read.toHex(), "010302420009");
    EXPECT_EQ(ModbusFrame::encode(ModbusFrame::withChecksum(read, ModbusFrame::Ascii), ModbusFrame::Ascii),
              ":010302420009AF\r\n");
    EXPECT_EQ(ModbusFrame::withChecksum(read, ModbusFrame::Rtu).toHex(), "0103024200092460");

    const QByteArray coil = ModbusFrame::forceSingleCoil(1, 81, ModbusFrame::CoilOn);
    EXPECT_EQ(coil.toHex(), "01050051ff00");
    EXPECT_EQ(ModbusFrame::encode(ModbusFrame::withChecksum(coil, ModbusFrame::Ascii), ModbusFrame::Ascii),
              ":01050051FF00AA\r\n");
    EXPECT_EQ(ModbusFrame::withChecksum(coil, ModbusFrame::Rtu).toHex(), "01050051ff00ddeb");
    // RTU text is the bytes themselves, whatever their values.
    EXPECT_EQ(ModbusFrame::encode(ModbusFrame::withChecksum(coil, ModbusFrame::Rtu), ModbusFrame::Rtu).size(), 8);

    EXPECT_EQ(ModbusFrame::readCoilStatus(247, 0, 88).toHex(), "f70100000058");
}

TEST(RequestFrames, WriteCarriesHeaderByteCountAndDataUnchanged)
{
    QByteArray data(244, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i);
    const QByteArray frame =
        ModbusFrame::presetMultipleRegisters(1, 122, u8(data), int(data.size()));
    EXPECT_EQ(frame.left(7).toHex(), "0110007a007af4");
    EXPECT_EQ(frame.mid(7), data);
    const QByteArray sent =
        ModbusFrame::encode(ModbusFrame::withChecksum(frame, ModbusFrame::Ascii), ModbusFrame::Ascii);
    EXPECT_EQ(sent.size(), 507);
    // A read request is 17 characters whatever its count.
    EXPECT_EQ(ModbusFrame::encode(ModbusFrame::withChecksum(ModbusFrame::readHoldingRegisters(1, 0, 122), 0), 0)
                  .size(),
              17);
}

TEST(RequestFrames, LargestTransfersFitTheBuffers)
{
    for (int framing : {0, 1}) {
        const int w = ModbusFrame::maxWriteBytes(framing);
        const QByteArray data(w, 'x');
        const QByteArray request = ModbusFrame::encode(
            ModbusFrame::withChecksum(ModbusFrame::presetMultipleRegisters(1, 0, u8(data), w), framing), framing);
        EXPECT_LE(request.size(), ModbusFrame::BufferSize) << framing;
        // Two more bytes would not fit (or would not fit the byte-count field).
        EXPECT_TRUE(request.size() + (framing ? 2 : 4) > ModbusFrame::BufferSize || w + 2 > 255) << framing;

        const int r = ModbusFrame::maxReadBytes(framing);
        const int replyChars = framing ? r + 5 : 2 * (r + 4) + 3;
        EXPECT_LE(replyChars, ModbusFrame::MaxReplyChars) << framing;
        EXPECT_LE(r, 254);
        EXPECT_GE(r, 244);
        EXPECT_GE(w, 244);
    }
}

TEST(ParseReplyAscii, NormalAndExceptionReplies)
{
    const QByteArray frame = QByteArray::fromHex("010304DEADBEEF");
    const QByteArray text = asciiWithLrc(frame, Calc_LRC(frame));
    ParsedReply r = Parse_Reply(text, int(text.size()), ModbusFrame::Ascii, false);
    EXPECT_TRUE(r.decoded);
    EXPECT_EQ(r.exception, 0);
    EXPECT_EQ(r.data.toHex(), "deadbeef");
    // Lower-case hex is hex too.
    r = Parse_Reply(text.toLower(), int(text.size()), ModbusFrame::Ascii, false);
    EXPECT_EQ(r.data.toHex(), "deadbeef");

    const QByteArray exc = asciiWithLrc(QByteArray::fromHex("018302"), Calc_LRC(QByteArray::fromHex("018302")));
    r = Parse_Reply(exc, int(exc.size()), ModbusFrame::Ascii, false);
    EXPECT_EQ(r.exception, 2);
    EXPECT_TRUE(r.data.isEmpty());
    // With the override nothing is decoded, not even the exception.
    r = Parse_Reply(exc, int(exc.size()), ModbusFrame::Ascii, true);
    EXPECT_FALSE(r.decoded);
    EXPECT_EQ(r.exception, 0);
    EXPECT_TRUE(r.data.isEmpty());
    // An exception reply that names no code is still a failure.
    const QByteArray zero = asciiWithLrc(QByteArray::fromHex("018300"), Calc_LRC(QByteArray::fromHex("018300")));
    EXPECT_EQ(Parse_Reply(zero, int(zero.size()), ModbusFrame::Ascii, false).exception, 12);
}

TEST(ParseReplyAscii, ChecksumFailureAndTheAcceptedVariant)
{
    const QByteArray frame = QByteArray::fromHex("010304DEADBEEF");
    const QByteArray bad = asciiWithLrc(frame, uint8_t(Calc_LRC(frame) + 1));
    ParsedReply r = Parse_Reply(bad, int(bad.size()), ModbusFrame::Ascii, false);
    EXPECT_EQ(r.exception, 12);
    EXPECT_TRUE(r.data.isEmpty());
    EXPECT_TRUE(traced(QStringLiteral("Modlink: CRC not equal: :010304DEADBEEF")));

    // A checksum that leaves out the last two data bytes is accepted after the trace line.
    const QByteArray variant = asciiWithLrc(frame, Calc_LRC(frame.left(frame.size() - 2)));
    r = Parse_Reply(variant, int(variant.size()), ModbusFrame::Ascii, false);
    EXPECT_EQ(r.exception, 0);
    EXPECT_EQ(r.data.toHex(), "deadbeef");
    EXPECT_TRUE(traced(QStringLiteral("Modlink: CRC not equal: ")));
}

TEST(ParseReplyAscii, MalformedAndShortRepliesFailWithCode12)
{
    const QByteArray frame = QByteArray::fromHex("010304DEADBEEF");
    QByteArray badHex = asciiWithLrc(frame, Calc_LRC(frame));
    badHex[9] = 'G';
    const QList<QByteArray> malformed = {
        badHex,
        "",
        ":",
        ":\r\n",
        ":00\r\n",          // a zero LRC over nothing must not pass as a reply
        ":0103\r\n",
        ":01030\r\n",       // odd number of characters
        "010304DEADBEEFB9\r\n", // no colon
        ":ZZ03\r\n",
    };
    for (const QByteArray &m : malformed) {
        const ParsedReply r = Parse_Reply(m, int(m.size()), ModbusFrame::Ascii, false);
        EXPECT_EQ(r.exception, 12) << m.toStdString();
        EXPECT_TRUE(r.data.isEmpty()) << m.toStdString();
    }
    // A received length beyond the text (or beyond 512) reads nothing outside it.
    const QByteArray ok = asciiWithLrc(frame, Calc_LRC(frame));
    EXPECT_EQ(Parse_Reply(ok, 100000, ModbusFrame::Ascii, false).data.toHex(), "deadbeef");
    EXPECT_EQ(Parse_Reply(ok, -5, ModbusFrame::Ascii, false).exception, 12);
}

TEST(ParseReplyRtu, CrcIsCheckedAndExceptionsReported)
{
    const QByteArray good = ModbusFrame::withChecksum(QByteArray::fromHex("0103040102FF00"), ModbusFrame::Rtu);
    ParsedReply r = Parse_Reply(good, int(good.size()), ModbusFrame::Rtu, false);
    EXPECT_EQ(r.exception, 0);
    EXPECT_EQ(r.data.toHex(), "0102ff00");

    QByteArray corrupt = good;
    corrupt[4] = char(corrupt[4] ^ 0x10);
    r = Parse_Reply(corrupt, int(corrupt.size()), ModbusFrame::Rtu, false);
    EXPECT_EQ(r.exception, 12);
    EXPECT_TRUE(r.data.isEmpty());

    const QByteArray exc = ModbusFrame::withChecksum(QByteArray::fromHex("018302"), ModbusFrame::Rtu);
    r = Parse_Reply(exc, int(exc.size()), ModbusFrame::Rtu, false);
    EXPECT_EQ(r.exception, 2);
    EXPECT_TRUE(r.data.isEmpty());

    for (int len = 0; len < 5; ++len)
        EXPECT_EQ(Parse_Reply(good.left(len), len, ModbusFrame::Rtu, false).exception, 12) << len;
    // Bytes of every value pass unchanged, NUL and 0x1A included.
    const QByteArray binary = ModbusFrame::withChecksum(QByteArray::fromHex("010304001A0D0A"), ModbusFrame::Rtu);
    EXPECT_EQ(Parse_Reply(binary, int(binary.size()), ModbusFrame::Rtu, false).data.toHex(), "001a0d0a");
}
