#include "Codec.h"
#include "HexDump.h"
#include "SelectionDecoder.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(HexDump, LinesOfSixteenWithPaddedLastLineAndPrintableColumn)
{
    QByteArray bytes;
    for (int i = 0; i < 16; ++i)
        bytes.append(char(0x30 + i));
    bytes.append("A\x00\x7F\x80\x1F", 5);
    const QStringList lines = HexDump::lines(bytes);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F: 0123456789:;<=>?");
    const QString expected = QStringLiteral("41 00 7F 80 1F") + QString(33, QLatin1Char(' ')) + QStringLiteral(": A.")
                             + QChar(0x7F) + QStringLiteral("..") + QString(11, QLatin1Char('.'));
    EXPECT_EQ(lines[1], expected);
    EXPECT_TRUE(HexDump::lines({}).isEmpty());
}

TEST(HexDump, CollectTakesTheEditedPairsBack)
{
    QByteArray bytes;
    for (int i = 0; i < 20; ++i)
        bytes.append(char(i * 7));
    QStringList lines = HexDump::lines(bytes);
    EXPECT_EQ(HexDump::collect(lines), bytes);

    lines[0].replace(3, 2, QStringLiteral("fe"));   // second byte, lower case
    lines[0].replace(6, 2, QStringLiteral("zz"));   // third byte no longer hex: dropped
    lines[1].truncate(4);                            // "8C 9" keeps one byte of that line
    const QByteArray back = HexDump::collect(lines);
    ASSERT_EQ(back.size(), 16);
    EXPECT_EQ(uint8_t(back[1]), 0xFE);
    EXPECT_EQ(uint8_t(back[2]), uint8_t(bytes[3]));
    EXPECT_EQ(uint8_t(back[15]), uint8_t(bytes[16]));

    // The printable column never yields bytes, however it reads.
    EXPECT_TRUE(HexDump::collect({QString(50, QLatin1Char(' ')) + QStringLiteral("AB CD EF")}).isEmpty());
    // At most two buffers' worth.
    EXPECT_EQ(HexDump::collect(HexDump::lines(QByteArray(600, '\x11'))).size(), HexDump::MaxCollectedBytes);
}

namespace {
DecodedSelection decoded(const QString &selection)
{
    QString error;
    const auto d = SelectionDecoder::decode(selection, &error);
    EXPECT_TRUE(d.has_value()) << error.toStdString();
    return d.value_or(DecodedSelection{});
}
}  // namespace

// Each reading a selection allows, in both byte orders; "" where its length does not allow it.
TEST(SelectionDecoder, ReadsWhatTheSelectionsLengthAllows)
{
    using D = DecodedSelection;
    const auto crc12 = Calc_CRC(QByteArray("\x01\x02", 2));
    const QString crcOf12 = QStringLiteral("$%1, %2").arg(crc12, 4, 16, QLatin1Char('0')).toUpper().arg(crc12);
    const struct {
        const char *selection;
        std::vector<std::pair<QString D::*, QString>> shown;
    } cases[] = {
        {"01 02", {{&D::hex, "$0102"}, {&D::wordIntel, "513"}, {&D::wordMoto, "258"}, {&D::integerIntel, "513"},
                   {&D::integerMoto, "258"}, {&D::byteIntel, ""}, {&D::longIntel, "513"},
                   {&D::longMoto, "16908288"}, {&D::lrc, "$FD, 253"}, {&D::crc, crcOf12}}},
        {"A", {{&D::byteIntel, "10"}, {&D::byteMoto, "10"}, {&D::wordIntel, "10"}, {&D::wordMoto, "2560"},
               {&D::hex, "$A"}}},
        // CRC sent low byte first: 24 60.
        {"01 03 02 42 00 09", {{&D::crc, "$6024, 24612"}, {&D::lrc, "$AF, 175"}, {&D::wordIntel, ""}, {&D::longIntel, ""}}},
        {"FF FF FF FE", {{&D::longIntel, "-16777217"}, {&D::longMoto, "-2"}}},
        {"3F F0 00 00 00 00 00 00", {{&D::doubleMoto, "1"}}},
        {"00 00 00 00 00 00 F0 BF", {{&D::doubleIntel, "-1"}}},
        {"01 02 03 04 05 06 07 08 09",
         {{&D::hex, "$010203040506070809"}, {&D::byteIntel, ""}, {&D::byteMoto, ""}, {&D::wordIntel, ""},
          {&D::wordMoto, ""}, {&D::integerIntel, ""}, {&D::integerMoto, ""}, {&D::longIntel, ""},
          {&D::longMoto, ""}, {&D::doubleIntel, ""}, {&D::doubleMoto, ""}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selection);
        const DecodedSelection d = decoded(QString::fromLatin1(c.selection));
        for (const auto &[member, text] : c.shown)
            EXPECT_EQ(d.*member, text);
        EXPECT_FALSE(d.crc.isEmpty());
        EXPECT_FALSE(d.lrc.isEmpty());
    }
}

TEST(SelectionDecoder, TextThatIsNotHexIsRefused)
{
    QString error;
    EXPECT_FALSE(SelectionDecoder::decode(QStringLiteral("0G"), &error).has_value());
    EXPECT_TRUE(error.contains(QStringLiteral("'0G'")));
    EXPECT_FALSE(SelectionDecoder::decode(QStringLiteral("-1"), &error).has_value());
    const auto empty = SelectionDecoder::decode(QStringLiteral("   "), &error);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->hex.isEmpty());
    // A selection longer than the decoder's buffer is taken up to its size.
    const auto longOne = SelectionDecoder::decode(QString(400, QLatin1Char('1')), &error);
    ASSERT_TRUE(longOne.has_value());
    EXPECT_EQ(longOne->lrc, QStringLiteral("$%1, %2")
                                .arg(uint8_t(-(0x11 * SelectionDecoder::MaxBytes)), 2, 16, QLatin1Char('0'))
                                .toUpper()
                                .arg(uint8_t(-(0x11 * SelectionDecoder::MaxBytes))));
}
