#include "NumberFormat.h"
#include "QuantityCode.h"
#include "RegisterImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

QString cPrintf(const char *pattern, double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return QString::fromLatin1(buffer);
}

RegisterImage imageWithModel(const char *model)
{
    RegisterImage image;
    image.setTextAt(2 * 635, 10, QString::fromLatin1(model));
    return image;
}

} // namespace

TEST(NumberFormat, PrintsAsPrintfAndSurvivesAnyValue)
{
    EXPECT_EQ(FormatByIndex(0, 1.5), "1.500000");
    EXPECT_EQ(FormatByIndex(1, 12345.678), "1.23457e+04");
    EXPECT_EQ(FormatByIndex(13, 2.5), "2");  // printf rounds half to even
    // Wider than any fixed buffer, and not finite.
    EXPECT_EQ(FormatByIndex(0, 1e300), cPrintf("%-7.6f", 1e300));
    EXPECT_EQ(FormatByIndex(0, -std::numeric_limits<double>::infinity()), cPrintf("%-7.6f", -HUGE_VAL));

    // The integer format rounds half away from zero.
    struct { double value; const char *text; } cases[] = {
        {2.5, "3"}, {-2.5, "-3"}, {2.49, "2"}, {-0.4, "0"}, {1234567.0, "1234567"}, {3e9, "3000000000"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatByIndex(IntegerFormatIndex, c.value), c.text) << c.value;
    EXPECT_EQ(FormatByIndex(IntegerFormatIndex, 1e300), cPrintf("%-.0f", 1e300));
    EXPECT_FALSE(FormatByIndex(IntegerFormatIndex, std::numeric_limits<double>::quiet_NaN()).isEmpty());
    // Outside the table: a readable number, never a read past the table.
    EXPECT_EQ(FormatByIndex(28, 1.5), "1.5");
    EXPECT_EQ(FormatByIndex(-1, 1.5), "1.5");
}

TEST(NumberFormat, SensorSizeSelectsRateAndTotalFormats)
{
    struct { const char *model; int rate; int total; } cases[] = {
        {"m0128010", 7, 15}, {"m0258010", 8, 16}, {"m050", 9, 17},  {"x100ABCD", 10, 18},
        {"m200", 11, 19},    {"m300", 12, 20},    {"m400", 7, 15},  {"m999", 7, 15},
        {"m05", 7, 15},      {"", 7, 15},         {"M025", 8, 16},
    };
    for (const auto &c : cases) {
        SelectSizeFormats(imageWithModel("m300"));  // something else first
        SelectSizeFormats(imageWithModel(c.model));
        EXPECT_EQ(CurrentSizeFormats().rate, c.rate) << c.model;
        EXPECT_EQ(CurrentSizeFormats().total, c.total) << c.model;
    }
}

TEST(NumberFormat, QuantitiesUseTheirFormat)
{
    SelectSizeFormats(imageWithModel("m0258010"));  // rate 8 "%-4.3f", total 16 "%-4.3f"
    SelectSizeFormats(imageWithModel("m100"));      // rate 10 "%-2.1f", total 18 "%-2.1f"
    struct { int code; double value; const char *text; } cases[] = {
        {Quantity::Frequency, 82.5, "82.500000"},   {Quantity::Phase, 0.5, "5.00000e-01"},
        {Quantity::WaterCut, 12.3456, "12.346"},    {Quantity::DensityWithConcentration, 0.99812, "0.9981"},
        {Quantity::SensorVoltage, 1.234, "1.23 "},  {Quantity::KeyboardData, 20.0, "20.000"},
        {Quantity::MassFlow, 27.21554244, "27.2"},  {Quantity::NetWaterRate, 1.25, "1.2"},
        {Quantity::MassTotal, 1234.56, "1234.6"},   {Quantity::BatchSize, 5.0, "5.0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatValue(c.code, c.value), c.text) << c.code;
}

TEST(MinimumSpan, FollowsQuantityAndSensorSize)
{
    struct { const char *model; int code; double span; } cases[] = {
        {"m0258010", Quantity::MassFlow, 0.06666667},     {"m0258010", Quantity::VolumeFlow, 63.0902089},
        {"m400", Quantity::ConcentrateFlow, 12.5},        {"m300", Quantity::StdVolumeFlow, 7400.0},
        {"m012", Quantity::MassFlow, 0.01666667},         {"mABC", Quantity::VolumeFlow, 15.77255223},
        {"m200", Quantity::Temperature, 15.0},            {"m200", Quantity::Density, 0.15},
        {"m200", Quantity::Concentration, 5.0},           {"m200", Quantity::MassTotal, 0.0},
        {"m02", Quantity::MassFlow, 0.0},                 {"m02", Quantity::Temperature, 0.0},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(MinimumSpanFrom(imageWithModel(c.model), c.code), c.span) << c.model << " " << c.code;
}
