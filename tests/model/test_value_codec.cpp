#include "Catalogue.h"
#include "RegisterImage.h"
#include "ValueCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

QString fmt(const QByteArray &bytes, uint8_t type, int byteCount = -1)
{
    return ValueCodec::format(reinterpret_cast<const uint8_t *>(bytes.constData()),
                              byteCount < 0 ? int(bytes.size()) : byteCount, type);
}

}  // namespace

TEST(FloatFormat, FifteenDigitsWhenExactElseTheShortestExactText)
{
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0.0, "0"},
        {1.0, "1"},
        {-2.5, "-2.5"},
        {100.0, "100"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.3333333333333333"},
        {2.0 / 3.0, "0.6666666666666666"},
        {68547.84807135946, "68547.84807135946"},
        {std::numeric_limits<double>::max(), "1.7976931348623157E308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},  // reads back exactly
        {-0.0, "-0"},
        {27.21554244, "27.21554244"},
        {1e14, "100000000000000"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {-1.5e20, "-1.5E20"},
        {0.00001, "0.00001"},
        {0.000123, "0.000123"},
        {1.5e-7, "1.5E-7"},
        {1e-6, "1E-6"},
        {9.9999999999999999e14, "1E15"},  // rounding to 15 digits can move the exponent
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ValueCodec::formatFloat(c.value), c.text) << c.text;

    // A single keeps its 15-digit text, which reads back as the same single.
    EXPECT_EQ(ValueCodec::formatSingle(std::numeric_limits<float>::max()), "3.40282346638529E38");
    EXPECT_EQ(ValueCodec::formatSingle(0.1f), "0.100000001490116");
    EXPECT_EQ(ValueCodec::formatFloat(2.5, QLatin1Char(',')), "2,5");
    EXPECT_EQ(ValueCodec::formatFloat(1.5e-7, QLatin1Char(',')), "1,5E-7");
    EXPECT_EQ(ValueCodec::formatFloat(0.001, QLatin1Char(',')), "0,001");
}

TEST(ValueFormat, NumbersReadOnlyTheirFieldBigEndian)
{
    // the bytes after a field never change its value
    EXPECT_EQ(fmt(hex("0102FFFF"), ValueType::U16, 2), "258");
    EXPECT_EQ(fmt(hex("0102"), 3), "258");
    EXPECT_EQ(fmt(hex("0155"), ValueType::U8), "1");
    EXPECT_EQ(fmt(hex("FF"), 0), "255");
    EXPECT_EQ(fmt(hex("FFFFFFFE"), ValueType::I32), "-2");
    EXPECT_EQ(fmt(hex("7FFFFFFF"), ValueType::I32), "2147483647");
    EXPECT_EQ(fmt(hex("3FF8000000000000"), ValueType::F64), "1.5");
    EXPECT_EQ(fmt(hex("7FF0000000000000"), ValueType::F64), "INF");
    EXPECT_EQ(fmt(hex("FFFFFFFF00000000"), ValueType::F64), "NAN");
    // a single widened before formatting
    EXPECT_EQ(fmt(hex("3DCCCCCD"), ValueType::F32), "0.100000001490116");
    EXPECT_EQ(fmt(hex("7F800000"), ValueType::F32), "INF");
    // a field shorter than its type reads as if zero-padded, never past its end
    EXPECT_EQ(fmt(hex("01"), ValueType::U16), "256");
    EXPECT_EQ(fmt(QByteArray(), ValueType::U16), "");
}

TEST(ValueFormat, TextsEndAtTheFirstZeroOrTheFieldEnd)
{
    EXPECT_EQ(fmt("DIGITALPLLxx", ValueType::Text, 10), "DIGITALPLL");
    EXPECT_EQ(fmt(QByteArray("\0TAG", 4), ValueType::Text), "");
    EXPECT_EQ(fmt(QByteArray("AB\0CD", 5), ValueType::Text), "AB");
    EXPECT_EQ(fmt(hex("B043"), ValueType::Text), QString::fromUtf8("\u00b0C"));  // bytes are Latin-1
    // codes without a meaning of their own are texts
    EXPECT_EQ(fmt("Hi", 7), "Hi");
    EXPECT_EQ(fmt("Hi", 200), "Hi");

    RegisterImage image;
    EXPECT_EQ(ValueCodec::format(image, RegisterImage::ByteSize - 2, 4, ValueType::U16), "");
    EXPECT_EQ(ValueCodec::format(image, -1, 2, ValueType::U16), "");
}

TEST(ValueParse, StoresWhatFormatShowsForEveryType)
{
    const struct {
        uint8_t type;
        const char *text;
        const char *bytes;
    } cases[] = {
        {ValueType::U8, "1", "0100"},  // a one-byte value in a two-byte block clears the second byte
        {ValueType::U8Plain, "255", "FF"},
        {ValueType::U16, "258", "0102"},
        {ValueType::U16Alarm, "65535", "FFFF"},
        {ValueType::I32, "-2147483648", "80000000"},
        {ValueType::I32, "1000", "000003E8"},
        {ValueType::F64, "0.1", "3FB999999999999A"},
        {ValueType::F64, "-1.5E-7", "BE8421F5F40D8376"},
        {ValueType::F64, "INF", "7FF0000000000000"},
        {ValueType::F64, "-INF", "FFF0000000000000"},
        {ValueType::F64, "NAN", "FFFFFFFF00000000"},
        {ValueType::F32, "0.5", "3F000000"},
        {ValueType::F32, "INF", "7F800000"},
        {ValueType::Text, "DIGITALPLL", "4449474954414C504C4C"},
        {ValueType::Text, "000", "303030"},
    };
    for (const auto &c : cases) {
        const QByteArray bytes = hex(c.bytes);
        const ValueCodec::ParseResult r = ValueCodec::parse(QString::fromLatin1(c.text), int(bytes.size()), c.type);
        ASSERT_TRUE(r.ok) << c.text << ": " << r.error.toStdString();
        EXPECT_EQ(r.bytes.toHex().toUpper(), QByteArray(c.bytes)) << c.text;
        EXPECT_EQ(fmt(bytes, c.type), c.text);
    }
}

TEST(ValueParse, KeepsTheLowBitsAndPadsTexts)
{
    EXPECT_EQ(ValueCodec::parse("300", 1, ValueType::U8).bytes, hex("2C"));
    EXPECT_EQ(ValueCodec::parse("-1", 2, ValueType::U16).bytes, hex("FFFF"));
    EXPECT_EQ(ValueCodec::parse("70000", 2, ValueType::U16).bytes, hex("1170"));
    EXPECT_EQ(ValueCodec::parse(" 42 ", 2, ValueType::U16).bytes, hex("002A"));
    EXPECT_EQ(ValueCodec::parse("+7", 4, ValueType::I32).bytes, hex("00000007"));
    EXPECT_EQ(ValueCodec::parse("TOOLONGTAG", 4, ValueType::Text).bytes, QByteArray("TOOL"));
    EXPECT_EQ(ValueCodec::parse("AB", 5, ValueType::Text).bytes, QByteArray("AB\0\0\0", 5));
    EXPECT_EQ(ValueCodec::parse("", 3, ValueType::Text).bytes, QByteArray(3, '\0'));
    // files from machines with a decimal comma read back
    EXPECT_EQ(ValueCodec::parse("1,5", 8, ValueType::F64).bytes, hex("3FF8000000000000"));
    EXPECT_EQ(ValueCodec::parse("1e3", 8, ValueType::F64).bytes, ValueCodec::parse("1000", 8, ValueType::F64).bytes);
}

TEST(ValueParse, InvalidNumbersGiveTheParsersMessage)
{
    const struct {
        uint8_t type;
        const char *text;
        const char *error;
    } cases[] = {
        {ValueType::U16, "abc", "'abc' is not a valid integer value"},
        {ValueType::U8, "1.5", "'1.5' is not a valid integer value"},
        {ValueType::U8, "", "'' is not a valid integer value"},
        {ValueType::I32, "2147483648", "'2147483648' is not a valid integer value"},
        {ValueType::I32, "12a", "'12a' is not a valid integer value"},
        {ValueType::F64, "abc", "'abc' is not a valid floating point value"},
        {ValueType::F64, "1e400", "'1e400' is not a valid floating point value"},
        {ValueType::F64, "inf", "'inf' is not a valid floating point value"},
        {ValueType::F64, "nan", "'nan' is not a valid floating point value"},
        {ValueType::F64, "1.5,2", "'1.5,2' is not a valid floating point value"},
        {ValueType::F64, "1.5E", "'1.5E' is not a valid floating point value"},
        {ValueType::F64, "--1", "'--1' is not a valid floating point value"},
        {ValueType::F32, "1e39", "'1e39' is not a valid floating point value"},
    };
    for (const auto &c : cases) {
        const ValueCodec::ParseResult r = ValueCodec::parse(QString::fromLatin1(c.text), 8, c.type);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.error, c.error);
    }
    bool ok = true;
    EXPECT_EQ(ValueCodec::parseFloat("INF", &ok), 0.0);  // windows never take infinity as input
    EXPECT_FALSE(ok);
    EXPECT_EQ(ValueCodec::parseFloat("-2.25", &ok), -2.25);
    EXPECT_TRUE(ok);
}

TEST(ValueParse, IntoTheImageLeavesTheFieldAloneOnFailure)
{
    RegisterImage image;
    const auto field = Catalogue::fieldByKey(u"CfgFlowMass.HiAlarmSet");
    ASSERT_TRUE(field);
    image.setF64At(field->byteOffset, 12.5);
    const QByteArray before = image.bytes();

    QString error;
    EXPECT_FALSE(ValueCodec::parseInto(image, field->byteOffset, field->byteCount, field->type, "12,5x", &error));
    EXPECT_EQ(error, "'12,5x' is not a valid floating point value");
    EXPECT_EQ(image.bytes(), before);

    EXPECT_FALSE(ValueCodec::parseInto(image, RegisterImage::ByteSize - 4, 8, ValueType::F64, "1", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(image.bytes(), before);

    EXPECT_TRUE(ValueCodec::parseInto(image, field->byteOffset, field->byteCount, field->type, "INF"));
    EXPECT_TRUE(std::isinf(image.f64At(field->byteOffset)));
    EXPECT_EQ(ValueCodec::format(image, field->byteOffset, 8, field->type), "INF");

    // a shorter text clears the tail of the longer one it replaces
    const auto tag = Catalogue::fieldByKey(u"CfgMiscInfo.Tag");
    ASSERT_TRUE(tag);
    ASSERT_TRUE(ValueCodec::parseInto(image, tag->byteOffset, tag->byteCount, tag->type, "LONG-TAG-NUMBER-1234"));
    ASSERT_TRUE(ValueCodec::parseInto(image, tag->byteOffset, tag->byteCount, tag->type, "FT-1"));
    EXPECT_EQ(image.read(578, 20), QByteArray("FT-1").append(QByteArray(16, '\0')));
    // the neighbouring field is untouched
    EXPECT_EQ(image.u8At(tag->byteOffset + 20), 0);
}
