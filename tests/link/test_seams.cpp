#include "Clock.h"
#include "RegisterImage.h"

#include <gtest/gtest.h>

TEST(ManualClock, FiresTimersInTimeOrderAndRepeats)
{
    ManualClock clock;
    Clock::install(&clock);
    ClockTimer slow, fast, once;
    slow.setInterval(300);
    fast.setInterval(100);
    once.setInterval(250);
    once.setSingleShot(true);
    QString order;
    QObject::connect(&slow, &ClockTimer::timeout, [&] { order += 'S'; });
    QObject::connect(&fast, &ClockTimer::timeout, [&] { order += 'F'; });
    QObject::connect(&once, &ClockTimer::timeout, [&] { order += 'O'; });
    slow.start();
    fast.start();
    once.start();
    clock.advance(99);
    EXPECT_EQ(order, "");
    clock.advance(251);
    EXPECT_EQ(order, "FFOSF"); // equal deadlines fire in start order
    EXPECT_FALSE(once.isActive());
    fast.stop();
    clock.advance(300);
    EXPECT_EQ(order, "FFOSFS");

    // A timer stopped inside another timer's handler does not fire.
    QObject::connect(&fast, &ClockTimer::timeout, [&] { slow.stop(); });
    fast.start();
    clock.advance(300);
    EXPECT_EQ(order, "FFOSFSFFF"); // slow was due at 900, within this advance
    Clock::install(nullptr);
}

TEST(RegisterImage, TypedValuesAreBigEndianAndBoundsChecked)
{
    RegisterImage img;
    ASSERT_TRUE(img.setF64At(2 * 252, 0.1));
    EXPECT_EQ(uint8_t(img.bytes()[504]), 0x3F);
    EXPECT_DOUBLE_EQ(img.f64Reg(252), 0.1);
    ASSERT_TRUE(img.setF32At(0, 1.5f));
    EXPECT_EQ(img.reg(0), 0x3FC0);

    // The last register is reachable, one byte beyond it is not.
    EXPECT_TRUE(img.setU16At(RegisterImage::ByteSize - 2, 0xBEEF));
    EXPECT_EQ(img.reg(3401), 0xBEEF);
    EXPECT_FALSE(img.setU32At(RegisterImage::ByteSize - 2, 1));
    EXPECT_EQ(img.reg(3401), 0xBEEF);
    EXPECT_EQ(img.u32At(RegisterImage::ByteSize - 2), 0u);
    EXPECT_FALSE(RegisterImage::rangeValid(3400, 6));
    EXPECT_TRUE(RegisterImage::rangeValid(3400, 4));
    EXPECT_FALSE(RegisterImage::rangeValid(-1, 2));
    const uint8_t two[2] = {1, 2};
    EXPECT_FALSE(img.store(3402, two, 2));
    EXPECT_TRUE(img.read(3401, 4).isEmpty());
    EXPECT_FALSE(img.setBytes(QByteArray(6803, '\0')));
}

TEST(RegisterImage, TextsStopAtNulAndAtTheirFieldAndImageEnd)
{
    RegisterImage img;
    ASSERT_TRUE(img.setTextAt(1156, 20, QStringLiteral("FT-101")));
    EXPECT_EQ(img.textAt(1156, 20), "FT-101");
    ASSERT_TRUE(img.setTextAt(1156, 4, QStringLiteral("ABCDEFG")));
    EXPECT_EQ(img.textAt(1156, 4), "ABCD");
    // A text with no NUL at the very end of the image is cut there, not read beyond.
    ASSERT_TRUE(img.setTextAt(RegisterImage::ByteSize - 4, 4, QStringLiteral("WXYZ")));
    EXPECT_EQ(img.textAt(RegisterImage::ByteSize - 4, 100), "WXYZ");
}
