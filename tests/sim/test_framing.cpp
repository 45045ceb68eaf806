#include "SimHarness.h"
#include "SlaveFraming.h"

#include <gtest/gtest.h>

using namespace sim;

TEST(AsciiSlaveFramer, FindsRequestsAcrossPiecesNoiseAndBadFrames)
{
    AsciiSlaveFramer f;
    // A frame in three pieces, after line noise.
    EXPECT_TRUE(f.feed(QByteArray("\x00\xFFjunk:0103", 11)).empty());
    EXPECT_TRUE(f.pending());
    EXPECT_TRUE(f.feed("02420009").empty());
    auto got = f.feed("AF\r\n");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].unit, 1);
    EXPECT_EQ(got[0].pdu.toHex(), "0302420009");
    EXPECT_FALSE(f.pending());

    // Wrong LRC, odd digit count and non-hex are dropped; lower case is accepted;
    // an unfinished frame restarted by a colon counts from the new colon.
    got = f.feed(":010302420009AE\r\n:0103024200\r\n:01030242000G9AF\r\n:0103:010302420009af\r\n");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].pdu.toHex(), "0302420009");

    // Endless text without a frame end does not grow the buffer without bound.
    f.feed(':' + QByteArray(2000, 'A'));
    EXPECT_FALSE(f.pending());

    EXPECT_EQ(f.frame(1, QByteArray::fromHex("050051FF00")), ":01050051FF00AA\r\n"); // LRC AA
    QByteArray spoiled = f.frame(1, QByteArray::fromHex("050051FF00"));
    f.corruptChecksum(spoiled);
    EXPECT_NE(spoiled, ":01050051FF00AA\r\n");
    EXPECT_TRUE(f.feed(spoiled).empty());
}

TEST(RtuSlaveFramer, CompletesByLengthOrSilenceAndDropsBadFrames)
{
    RtuSlaveFramer f;
    const QByteArray read = QByteArray::fromHex("0103024200092460");
    // Byte by byte: complete at the eighth byte, without waiting for silence.
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(f.feed(read.mid(i, 1)).empty());
    auto got = f.feed(read.mid(7));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].pdu.toHex(), "0302420009");

    // Two requests in one chunk, the second a write whose length comes from its byte count.
    const QByteArray write = rtuFrame(QByteArray::fromHex("0110000A000204DEADBEEF"));
    got = f.feed(read + write);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].pdu.toHex(), "10000a000204deadbeef");

    // A bad CRC drops the frame and everything after it until the line is quiet.
    QByteArray bad = read;
    bad[7] = char(bad[7] ^ 1);
    EXPECT_TRUE(f.feed(bad + read).empty());
    EXPECT_TRUE(f.silence().empty());

    // A function whose length is unknown ends at the silence.
    EXPECT_TRUE(f.feed(rtuFrame(QByteArray::fromHex("0107"))).empty());
    EXPECT_TRUE(f.pending());
    got = f.silence();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].pdu.toHex(), "07");

    EXPECT_EQ(f.frame(1, QByteArray::fromHex("0302420009")), read); // CRC 24 60, low byte first
}
