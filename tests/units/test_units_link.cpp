#include "LinkedUnitFixture.h"
#include "NumberFormat.h"
#include "QuantityCode.h"
#include "UnitsLink.h"

namespace {

using UnitsLinkTest = LinkedUnitTest;

void putModel(FakeUnit &unit, const QByteArray &model)
{
    unit.registers.replace(2 * 635, model.size() + 1, model + '\0');
}

} // namespace

TEST_F(UnitsLinkTest, SpecialUnitsAreReadFreshFromTheTransmitter)
{
    putRecord(SpecialUnitRecord::VolumeRegister, specialRecord(10.0, "tank", 2.0, "tanks", 5));
    const SpecialFactorSource special = SpecialFactorsFrom(*link);
    EXPECT_DOUBLE_EQ(FromBase(Quantity::VolumeFlow, 1.0, 15, special), 10.0 * 3.6);
    EXPECT_EQ(SpecialUnitText(*link, Quantity::VolumeFlow), "tank");
    EXPECT_EQ(SpecialUnitText(*link, Quantity::StdVolumeTotal), "tanks");

    // The user changed the record on the transmitter: the next conversion follows.
    putRecord(SpecialUnitRecord::VolumeRegister, specialRecord(20.0, "drum", 2.0, "drums", 5));
    EXPECT_DOUBLE_EQ(FromBase(Quantity::VolumeFlow, 1.0, 15, special), 20.0 * 3.6);
    EXPECT_DOUBLE_EQ(SpecialFactor(*link, Quantity::VolumeTotal), 2.0 * 0.001);  // liter
    EXPECT_EQ(reads(), (QList<QPair<int, int>>(5, {865, 15})));

    // Codes without a Special unit or text ask nothing of the transmitter.
    EXPECT_EQ(SpecialUnitText(*link, Quantity::ConcentrateFlow), "");
    EXPECT_EQ(SpecialFactor(*link, Quantity::Temperature), 0.0);
    EXPECT_EQ(reads().size(), 5);
}

TEST_F(UnitsLinkTest, ConfiguredUnitComesFromTheBlocksFirstByte)
{
    unit.registers[2 * 782] = char(16);  // m3/day
    unit.registers[2 * 1713] = char(2);
    EXPECT_EQ(ReadConfiguredUnit(*link, 782)->unitIndex, 16);
    EXPECT_EQ(ReadConfiguredUnit(*link, 782)->code, Quantity::VolumeFlow);
    EXPECT_EQ(ReadConfiguredUnit(*link, 1713)->code, Quantity::WaterCut);
    EXPECT_EQ(reads().first(), (QPair<int, int>{782, 34}));
    EXPECT_EQ(reads().size(), 3);

    EXPECT_FALSE(ReadConfiguredUnit(*link, 783).has_value());
    EXPECT_FALSE(ReadConfiguredUnit(*link, 550).has_value());
    EXPECT_EQ(reads().size(), 3);

    // A refused read leaves the last known unit.
    unit.registers[2 * 782] = char(3);
    unit.exception = 4;
    EXPECT_EQ(ReadConfiguredUnit(*link, 782)->unitIndex, 16);
}

TEST_F(UnitsLinkTest, ParametersAreCopiedFromTheirLiveBlocks)
{
    QByteArray waterCut(18, '\0');
    for (int i = 0; i < 18; ++i)
        waterCut[i] = char(0x40 + i);
    unit.registers.replace(2 * 1781, 18, waterCut);
    EXPECT_EQ(Read_Param_18(*link, Quantity::WaterCut), waterCut);
    unit.registers.replace(2 * 244, 16, waterCut.left(16));
    EXPECT_EQ(Read_Param_16(*link, Quantity::MassTotalRev), waterCut.left(16));
    EXPECT_EQ(reads(), (QList<QPair<int, int>>{{1781, 9}, {244, 8}}));

    // A failed read still hands over what the image holds.
    unit.registers.replace(2 * 1781, 18, QByteArray(18, char(0x11)));
    unit.exception = 2;
    EXPECT_EQ(Read_Param_18(*link, Quantity::WaterCut), waterCut);

    // No live block: zeros, and nothing is read from register 0.
    EXPECT_EQ(Read_Param_18(*link, Quantity::KeyboardData), QByteArray(18, '\0'));
    EXPECT_EQ(reads().size(), 3);
}

TEST_F(UnitsLinkTest, SizeFormatsAndSpansFollowTheConnectedSensor)
{
    ConnectSizeFormats(*link);
    putModel(unit, "m0508010");
    link->Read_Regs(635, 90);
    EXPECT_EQ(CurrentSizeFormats().rate, 9);
    EXPECT_EQ(CurrentSizeFormats().total, 17);

    putModel(unit, "m300");
    link->Read_Regs(630, 20);  // covers the model text but does not start at it
    EXPECT_EQ(CurrentSizeFormats().rate, 9);

    EXPECT_DOUBLE_EQ(MinimumSpan(*link, Quantity::VolumeFlow), 7400.0);
    EXPECT_EQ(CurrentSizeFormats().rate, 12);
    EXPECT_EQ(reads().back(), (QPair<int, int>{635, 45}));

    putModel(unit, "m3");
    EXPECT_EQ(MinimumSpan(*link, Quantity::Temperature), 0.0);
}
