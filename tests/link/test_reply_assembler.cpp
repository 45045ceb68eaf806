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

    // A function code that implies no length is taken as it arrived.
    a.reset(ModbusFrame::Rtu);
    EXPECT_EQ(a.feed(QByteArray::fromHex("0107")), ReplyAssembler::Complete);
    EXPECT_EQ(a.message().toHex(), "0107");
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
