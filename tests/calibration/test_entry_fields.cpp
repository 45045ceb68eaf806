// What an entry field of a calibration window accepts.
#include "EntryFields.h"


#include <gtest/gtest.h>

#include <cmath>

TEST(EntryFieldRules, RefuseWhatTheTransmitterCannotTake)
{
    const FieldRule real{.name = QStringLiteral("Value")};
    const FieldRule gain{.name = QStringLiteral("Gain"), .min = 0, .nonZero = true};
    const FieldRule word{.name = QStringLiteral("Count"), .min = 0, .max = FieldRange::Word, .integer = true};
    const FieldRule byte{.name = QStringLiteral("Byte"), .min = 0, .max = FieldRange::Byte, .integer = true};
    struct Case {
        const FieldRule &rule;
        const char *text;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {real, " 1.5 ", 1.5},   {real, "1,5", 1.5},       {real, "-2e-3", -0.002}, {real, "abc", std::nullopt},
        {real, "", std::nullopt}, {real, "inf", std::nullopt}, {real, "nan", std::nullopt},
        {real, "1e400", std::nullopt},
        {gain, "0", std::nullopt}, {gain, "-1", std::nullopt}, {gain, "0.5", 0.5},
        {word, "65535", 65535.0}, {word, "65536", std::nullopt}, {word, "-1", std::nullopt},
        {word, "1.5", std::nullopt},
        {byte, "255", 255.0},    {byte, "256", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(EntryFields::parse(QString::fromLatin1(c.text), c.rule), c.expected) << c.text;
}
