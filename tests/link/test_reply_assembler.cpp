#include "Codec.h"
#include "ReplyAssembler.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

// Feeds the chunks and returns the message, checking that completion is reported by
// the last chunk and by no earlier one.
QByteArray assemble(int framing, const QList<QByteArray> &chunks)
{
    ReplyAssembler a;
    a.reset(framing);
    for (int i = 0; i < chunks.size(); ++i) {
        const bool last = i == chunks.size() - 1;
        const ReplyAssembler::Result r = a.feed(chunks[i]);
        EXPECT_EQ(r == ReplyAssembler::Complete, last) << "chunk " << i;
    }
    return a.message();
}

QList<QByteArray> splitAt(const QByteArray &m, QList<int> cuts)
{
    QList<QByteArray> chunks;
    int from = 0;
    cuts.append(int(m.size()));
    for (int cut : cuts) {
        chunks.append(m.mid(from, cut - from));
        from = cut;
    }
    return chunks;
}

void expectEverySplitDecodesAsWhole(int framing, const QByteArray &m)
{
    EXPECT_EQ(assemble(framing, {m}), m);
    for (int i = 1; i < m.size(); ++i) {
        EXPECT_EQ(assemble(framing, splitAt(m, {i})), m) << "cut " << i;
        for (int j = i + 1; j < m.size(); ++j)
            ASSERT_EQ(assemble(framing, splitAt(m, {i, j})), m) << "cuts " << i << ',' << j;
    }
    QList<QByteArray> bytes;
    for (char c : m)
        bytes.append(QByteArray(1, c));
    EXPECT_EQ(assemble(framing, bytes), m);
}

} // namespace

TEST(ReplyAssembler, AsciiReplyFromAnySplitIsTheWholeReply)
{
    const QByteArray frame = QByteArray::fromHex("0103060102030A0D3A");
    const QByteArray reply = ModbusFrame::encode(ModbusFrame::withChecksum(frame, 0), 0);
    expectEverySplitDecodesAsWhole(ModbusFrame::Ascii, reply);
}

TEST(ReplyAssembler, RtuRepliesCompleteAtTheLengthTheyImply)
{
    // Data bytes that look like ASCII delimiters mean nothing in RTU.
    const QByteArray read = ModbusFrame::withChecksum(QByteArray::fromHex("0103063A0D0A0D0A00"), 1);
    const QByteArray write = ModbusFrame::withChecksum(QByteArray::fromHex("0110007A007A"), 1);
    const QByteArray coil = ModbusFrame::withChecksum(QByteArray::fromHex("01050051FF00"), 1);
    const QByteArray exception = ModbusFrame::withChecksum(QByteArray::fromHex("018302"), 1);
    for (const QByteArray &m : {read, write, coil, exception})
        expectEverySplitDecodesAsWhole(ModbusFrame::Rtu, m);

    // Bytes after the reply's end are not part of it.
    ReplyAssembler a;
    a.reset(ModbusFrame::Rtu);
    EXPECT_EQ(a.feed(exception + "\x01\x02"), ReplyAssembler::Complete);
    EXPECT_EQ(a.message(), exception);
    EXPECT_EQ(a.feed("more"), ReplyAssembler::Complete);
    EXPECT_EQ(a.message(), exception);
}

TEST(ReplyAssembler, RtuFindsTheExpectedReplyBehindStrayBytes)
{
    // A read of 2 registers; before its reply come noise, a late reply to a read of
    // 4 registers and a coil echo.
    const ReplyShape shape = ReplyShape::of(ModbusFrame::readHoldingRegisters(1, 100, 2));
    const QByteArray late = ModbusFrame::withChecksum(QByteArray::fromHex("0103080001000200030004"), 1);
    const QByteArray coil = ModbusFrame::withChecksum(QByteArray::fromHex("01050030FF00"), 1);
    const QByteArray reply = ModbusFrame::withChecksum(QByteArray::fromHex("010304CAFEF00D"), 1);
    const QByteArray stray = "MASS 1.0\r\n" + late + coil;
    ReplyAssembler a;
    a.reset(ModbusFrame::Rtu, shape);
    EXPECT_EQ(a.feed(stray.left(7)), ReplyAssembler::Incomplete);
    EXPECT_EQ(a.feed(stray.mid(7) + reply), ReplyAssembler::Complete);
    EXPECT_EQ(a.message(), reply);
    EXPECT_EQ(a.takeDropped(), stray.size());

    // A message the caller turns down gives way to what followed it.
    a.reset(ModbusFrame::Ascii, shape);
    EXPECT_EQ(a.feed(":0103\r\n:010304CAFEF00D00\r\n"), ReplyAssembler::Complete);
    EXPECT_EQ(a.message(), ":0103\r\n");
    EXPECT_EQ(a.next(), ReplyAssembler::Complete);
    EXPECT_EQ(a.message(), ":010304CAFEF00D00\r\n");
}

TEST(ReplyShape, OnlyTheRequestsOwnReplyFits)
{
    const QByteArray read = ModbusFrame::readHoldingRegisters(1, 100, 2);
    const QByteArray coils = ModbusFrame::readCoilStatus(1, 0, 88);
    const QByteArray force = ModbusFrame::forceSingleCoil(1, 48, ModbusFrame::CoilOn);
    const QByteArray write = ModbusFrame::presetMultipleRegisters(1, 2401, reinterpret_cast<const uint8_t *>("\x11\0"), 2);
    const struct {
        QByteArray request;
        const char *reply; // frame without checksum
        ReplyShape::Fit fit;
    } cases[] = {
        {read, "010304CAFEF00D", ReplyShape::Fits},
        {read, "F70304CAFEF00D", ReplyShape::Fits},        // the unit ID is not compared
        {read, "018302", ReplyShape::Fits},                // its exception form
        {read, "010308CAFEF00D00000000", ReplyShape::Foreign}, // another byte count
        {read, "010504CAFEF00D", ReplyShape::Foreign},     // another function
        {read, "018502", ReplyShape::Foreign},
        {read, "010304CAFE", ReplyShape::WrongLength},     // cut short
        {coils, "01010B0000000000000000000000", ReplyShape::Fits},
        {coils, "01010A00000000000000000000", ReplyShape::Foreign},
        {force, "01050030FF00", ReplyShape::Fits},
        {force, "010500300000", ReplyShape::Foreign},      // another value
        {force, "01050031FF00", ReplyShape::Foreign},      // another coil
        {write, "011009610001", ReplyShape::Fits},
        {write, "011009620001", ReplyShape::Foreign},
        {write, "0110", ReplyShape::Foreign},
    };
    for (const auto &c : cases) {
        const QByteArray frame = QByteArray::fromHex(c.reply);
        const ReplyShape shape = ReplyShape::of(c.request);
        for (int framing : {0, 1}) {
            const QByteArray message = ModbusFrame::encode(ModbusFrame::withChecksum(frame, framing), framing);
            EXPECT_EQ(shape.fit(message, framing), c.fit) << c.reply << " framing " << framing;
        }
    }
    EXPECT_EQ(ReplyShape::of(read).fit("MASS 1.0 lb/s\r\n", 0), ReplyShape::Foreign);
    EXPECT_EQ(ReplyShape::of(read).fit(":01030\r\n", 0), ReplyShape::Foreign);
}

TEST(ReplyAssembler, AsciiStartAndEndRules)
{
    ReplyAssembler a;
    a.reset(ModbusFrame::Ascii);
    // Noise before the colon is dropped.
    EXPECT_EQ(a.feed("xx"), ReplyAssembler::Incomplete);
    EXPECT_EQ(a.feed(QByteArray("\0:0103", 6)), ReplyAssembler::Incomplete);
    EXPECT_EQ(a.feed("02\r\n"), ReplyAssembler::Complete);
    EXPECT_EQ(a.message(), ":010302\r\n");

    // A CR LF with no colon before it is reported, also when split between events.
    a.reset(ModbusFrame::Ascii);
    EXPECT_EQ(a.feed("\r\n"), ReplyAssembler::CrLfWithoutStart);
    a.reset(ModbusFrame::Ascii);
    EXPECT_EQ(a.feed("01\r"), ReplyAssembler::Incomplete);
    EXPECT_EQ(a.feed("\n"), ReplyAssembler::CrLfWithoutStart);
    EXPECT_FALSE(a.complete());

    // A new colon starts the message again.
    a.reset(ModbusFrame::Ascii);
    EXPECT_EQ(a.feed(":0103"), ReplyAssembler::Incomplete);
    EXPECT_EQ(a.feed(":0105\r\n"), ReplyAssembler::Complete);
    EXPECT_EQ(a.message(), ":0105\r\n");
}
