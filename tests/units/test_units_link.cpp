#include "Clock.h"
#include "FakeUnit.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "QuantityCode.h"
#include "RecordingPrompter.h"
#include "ScriptedSerialControl.h"
#include "Session.h"
#include "SpecialUnits.h"
#include "UnitsLink.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A link on a scripted port answered by a small Modbus slave, so the unit reads
// travel as real requests.
class UnitsLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::install(&clock);
        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(&serial, &session);
        CommSettings s;
        s.unitId = 1;
        link->setSettings(s);
        serial.setResponder(unit.responder());
        ASSERT_TRUE(link->openPort());
    }
    void TearDown() override
    {
        link.reset();
        Clock::install(nullptr);
    }

    void putRecord(int firstRegister, const SpecialUnitRecord &r) { unit.registers.replace(2 * firstRegister, 30, r.toBytes()); }
    void putModel(const QByteArray &model) { unit.registers.replace(2 * 635, model.size() + 1, model + '\0'); }
    // Start register and register count of each read request sent.
    QList<QPair<int, int>> reads() const
    {
        QList<QPair<int, int>> out;
        for (const QByteArray &r : unit.requests) {
            if (r.size() >= 6 && r[1] == 3)
                out.append({uint8_t(r[2]) << 8 | uint8_t(r[3]), uint8_t(r[4]) << 8 | uint8_t(r[5])});
        }
        return out;
    }

    ManualClock clock;
    RecordingPrompter prompter;
    ScriptedSerialControl serial;
    Session session;
    FakeUnit unit{ModbusLink::Ascii, 1};
    std::unique_ptr<ModbusLink> link;
};

SpecialUnitRecord volumeRecord(double flowFactor, const char *flowText, const char *totalText)
{
    SpecialUnitRecord r;
    r.flowFactor = flowFactor;
    r.flowText = flowText;
    r.totalFactor = 2.0;
    r.totalText = totalText;
    r.baseRate = 5;  // liter/hr
    return r;
}

} // namespace

TEST_F(UnitsLinkTest, SpecialUnitsAreReadFreshFromTheTransmitter)
{
    putRecord(SpecialUnitRecord::VolumeRegister, volumeRecord(10.0, "tank", "tanks"));
    const SpecialFactorSource special = SpecialFactorsFrom(*link);
    EXPECT_DOUBLE_EQ(FromBase(Quantity::VolumeFlow, 1.0, 15, special), 10.0 * 3.6);
    EXPECT_EQ(SpecialUnitText(*link, Quantity::VolumeFlow), "tank");
    EXPECT_EQ(SpecialUnitText(*link, Quantity::StdVolumeTotal), "tanks");

    // The user changed the record on the transmitter: the next conversion follows.
    putRecord(SpecialUnitRecord::VolumeRegister, volumeRecord(20.0, "drum", "drums"));
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
    putModel("m0508010");
    link->Read_Regs(635, 90);
    EXPECT_EQ(CurrentSizeFormats().rate, 9);
    EXPECT_EQ(CurrentSizeFormats().total, 17);

    putModel("m300");
    link->Read_Regs(630, 20);  // covers the model text but does not start at it
    EXPECT_EQ(CurrentSizeFormats().rate, 9);

    EXPECT_DOUBLE_EQ(MinimumSpan(*link, Quantity::VolumeFlow), 7400.0);
    EXPECT_EQ(CurrentSizeFormats().rate, 12);
    EXPECT_EQ(reads().back(), (QPair<int, int>{635, 45}));

    putModel("m3");
    EXPECT_EQ(MinimumSpan(*link, Quantity::Temperature), 0.0);
}
