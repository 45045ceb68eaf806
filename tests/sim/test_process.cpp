// The live process values the simulated transmitter keeps moving.
#include "SimDevice.h"
#include "SimProcess.h"
#include "SimRegisters.h"
#include "Simulator.h"

#include "Catalogue.h"
#include "DefaultImage.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sim;

TEST(SimRegisters, AgreeWithTheCatalogue)
{
    const std::pair<const char *, int> blocks[] = {
        {"DataOut", reg::DataOut}, {"DataIn", reg::DataIn}, {"MassTotal", reg::MassTotal},
        {"MassRate", reg::MassRate}, {"RTDTemp", reg::RtdTemp}, {"Density", reg::Density},
        {"VolumeTotal", reg::VolumeTotal}, {"VolumeRate", reg::VolumeRate}, {"StdVolTotal", reg::StdVolTotal},
        {"StdVolRate", reg::StdVolRate}, {"BatchTotal", reg::BatchTotal}, {"TimeTotal", reg::TimeTotal},
        {"ErrorLog", reg::ErrorLog}, {"AlarmLog", reg::AlarmLog}, {"ConcenTotal", reg::ConcenTotal},
        {"PercentCon", reg::PercentCon}, {"ConcenRate", reg::ConcenRate}, {"NetOilTotal", reg::NetOilTotal},
        {"NetOilRate", reg::NetOilRate}, {"DSPProcData", reg::DspProcData}, {"Pulses", reg::Pulses},
        {"DriverCurr", reg::DriverCurr}, {"CfgFlowMass", reg::CfgFlowMass}, {"CfgTemp", reg::CfgTemp},
        {"CfgDensity", reg::CfgDensity}, {"CfgFlowVol", reg::CfgFlowVol}, {"CfgFlowStdVol", reg::CfgFlowStdVol},
        {"Cfg420AOut", reg::Cfg420Out[0]}, {"Cfg420BOut", reg::Cfg420Out[1]}, {"Cfg420COut", reg::Cfg420Out[2]},
        {"CfgPulse", reg::CfgPulse}, {"CfgPercentCon", reg::CfgPercentCon}, {"CfgFlowCon", reg::CfgFlowCon},
        {"CfgFlowNetOil", reg::CfgFlowNetOil}, {"CfgFlowNetOilVar", reg::CfgFlowNetOilVar},
        {"CfgFlowNetOilWC", reg::CfgFlowNetOilWC}, {"CfgFlowNetOilPW", reg::CfgFlowNetOilPW},
        {"NetOilPcntWC", reg::NetOilPcntWC}, {"NetOilPWTotal", reg::NetOilPWTotal},
        {"NetOilPWRate", reg::NetOilPWRate}, {"ModbusAddr", reg::ModbusAddr}, {"ModbusMode", reg::ModbusMode},
        {"SCIProtocol", reg::SciProtocol}, {"SCI", reg::Sci}, {"AlarmLog2", reg::AlarmLog2},
    };
    for (const auto &[name, start] : blocks) {
        const BlockDef *b = Catalogue::blockByName(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->startRegister, start) << name;
    }
}

class SimProcessTest : public ::testing::Test {
protected:
    SimProcessTest()
    {
        SimOptions o;
        o.liveValues = false;
        simulator = std::make_unique<Simulator>(o);
    }
    RegisterImage &img() { return simulator->device()->image(); }
    SimProcess &process() { return *simulator->process(); }
    std::unique_ptr<Simulator> simulator;
};

TEST_F(SimProcessTest, ReverseDirectionCountsAgainstTheTotals)
{
    process().setMassRate(1.0, 0.0);
    img().setU16At(2 * reg::CfgFlowDir, 0x0100);
    const double total0 = img().f64Reg(reg::MassTotal);
    const double forward0 = img().f64At(2 * reg::MassTotal + reg::TotalForward);
    process().step(1.0);
    EXPECT_LT(img().f64Reg(reg::MassTotal), total0);
    EXPECT_EQ(img().f64At(2 * reg::MassTotal + reg::TotalForward), forward0);
}

TEST_F(SimProcessTest, NetOilAndWaterSplitTheConfiguredBasis)
{
    // MeasParam: 0 volume, 1 mass; any other code counts as volume.
    for (const auto &[measParam, rateRegister] : {std::pair{0, reg::VolumeRate}, {1, reg::MassRate}, {7, reg::VolumeRate}}) {
        img().setU8At(2 * reg::CfgFlowNetOilVar + 8, uint8_t(measParam));
        process().setMassRate(1.0, 0.0);
        process().step(1.0);
        EXPECT_NEAR(img().f64Reg(reg::NetOilRate) + img().f64Reg(reg::NetOilPWRate), img().f64Reg(rateRegister), 1e-6)
            << "MeasParam " << measParam;
    }
}

TEST_F(SimProcessTest, WaterCutComesFromTheSelectedWellsDensities)
{
    // The liquid is about water (0.998 g/cc); well 2 holds the oil and water densities.
    const int wellAt = 2 * (reg::CfgWell + 1 + 8);
    constexpr double Mixed = -1.0;  // the cut follows the measured density
    const struct {
        int well;
        double oil, water, cut;
    } cases[] = {
        {2, 0.85, 1.02, Mixed},
        {2, 0.95, 1.05, Mixed},
        {2, 0.70, 0.80, 100.0},  // the mixture is denser than the well's water
        {2, 1.10, 1.20, 0.0},    // and lighter than its oil
        {2, 0.0, 1.02, 35.0},    // no usable well: a fixed cut
        {0, 0.85, 1.02, 35.0},
    };
    for (const auto &c : cases) {
        img().setU8At(2 * reg::CfgFlowNetOilVar + 9, uint8_t(c.well));
        img().setF64At(wellAt, c.oil);
        img().setF64At(wellAt + 8, c.water);
        process().step(1.0);
        const double density = img().f64Reg(reg::Density);
        const double cut = c.cut == Mixed ? 100.0 * (density - c.oil) / (c.water - c.oil) : c.cut;
        EXPECT_NEAR(img().f64Reg(reg::NetOilPcntWC), cut, 1e-9) << c.oil << " " << c.water;
        EXPECT_NEAR(img().f64Reg(reg::NetOilRate), img().f64Reg(reg::VolumeRate) * (1 - cut / 100), 1e-9);
    }
}

TEST_F(SimProcessTest, ValuesAreConsistentAndTotalsIntegrate)
{
    process().setMassRate(1.0, 0.005);
    const double mass0 = img().f64Reg(reg::MassTotal);
    const double time0 = img().f64Reg(reg::TimeTotal);
    double integrated = 0.0;
    double lo = 1e9, hi = -1e9;
    for (int i = 0; i < 40; ++i) {
        process().step(0.25);
        const double rate = img().f64Reg(reg::MassRate);
        integrated += rate * 0.25;
        lo = std::min(lo, rate);
        hi = std::max(hi, rate);
    }
    EXPECT_GT(lo, 0.9);
    EXPECT_LT(hi, 1.1);
    EXPECT_GT(hi - lo, 0.001) << "the rate carries noise";
    EXPECT_NEAR(img().f64Reg(reg::MassTotal) - mass0, integrated, 1e-9);
    EXPECT_NEAR(img().f64At(2 * reg::MassTotal + reg::TotalForward), img().f64Reg(reg::MassTotal), 1e-9);
    EXPECT_NEAR(img().f64Reg(reg::TimeTotal) - time0, 10.0, 1e-9);
    EXPECT_GE(img().f64At(2 * reg::MassRate + reg::ValueBlockMax), hi);

    // Volume from mass and density (lb/sec → g/sec → cc/sec).
    const double mass = img().f64Reg(reg::MassRate);
    const double density = img().f64Reg(reg::Density);
    EXPECT_GT(density, 0.99);
    EXPECT_LT(density, 1.01);
    EXPECT_NEAR(img().f64Reg(reg::VolumeRate), mass * 453.592374 / density, 1e-6);
    EXPECT_NEAR(img().f64Reg(reg::ConcenRate), mass * img().f64Reg(reg::PercentCon) / 100.0, 1e-9);

    // The tube: a frequency in the hundred-hertz range, a phase that grows with flow.
    EXPECT_GT(img().f64Reg(reg::DspProcData), 100.0);
    EXPECT_LT(img().f64Reg(reg::DspProcData), 200.0);
    const double phase = img().f64Reg(reg::DspProcData + 9);
    process().setMassRate(20.0, 0.0);
    process().step(0.25);
    EXPECT_GT(img().f64Reg(reg::DspProcData + 9), 1.5 * phase);
}

TEST_F(SimProcessTest, OutputsFollowTheirParameterAndRange)
{
    process().setMassRate(12.0, 0.0);
    const int ao = 2 * reg::Cfg420Out[0];
    img().setU8At(ao + 66, 5); // mass flow
    img().setF64At(ao, 0.0);
    img().setF64At(ao + 8, 24.0);
    const int pulse = 2 * reg::CfgPulse;
    img().setU8At(pulse, 5);
    img().setF64At(pulse + 2, 0.0);
    img().setF64At(pulse + 10, 24.0);
    img().setF64At(pulse + 26, 1000.0);
    const double pulses0 = img().f64At(2 * reg::Pulses + 8);
    process().step(1.0);
    const double rate = img().f64Reg(reg::MassRate);
    const double pct = rate * 100.0 / 24.0;
    EXPECT_NEAR(img().f64At(ao + 16), rate, 1e-12);
    EXPECT_NEAR(img().f64At(ao + 32), pct, 1e-9);
    EXPECT_NEAR(img().f64At(ao + 24), 4.0 + 0.16 * pct, 1e-9);
    EXPECT_NEAR(img().u16At(ao + 40), img().f64At(ao + 24) * 65535.0 / 24.0, 1.0);
    EXPECT_NEAR(img().f64Reg(reg::Pulses), pct * 10.0, 1e-6);
    EXPECT_NEAR(img().f64At(2 * reg::Pulses + 8) - pulses0, pct * 10.0, 1e-6);

    // A total: pulses are the total times pulses per unit.
    img().setU8At(pulse, 6);
    img().setF64At(pulse + 18, 2.0);
    process().step(1.0);
    EXPECT_NEAR(img().f64At(2 * reg::Pulses + 8), 2.0 * img().f64Reg(reg::MassTotal), 1e-6);

    // A forced current holds against the process until released.
    simulator->device()->setForcedCurrent(0, 12.0);
    process().step(1.0);
    EXPECT_EQ(img().f64At(ao + 24), 12.0);
    EXPECT_NEAR(img().f64At(ao + 32), 50.0, 1e-9);
    simulator->device()->setForcedCurrent(0, std::nullopt);
    process().step(1.0);
    EXPECT_NEAR(img().f64At(ao + 24), 4.0 + 0.16 * img().f64Reg(reg::MassRate) * 100.0 / 24.0, 1e-9);
}

TEST_F(SimProcessTest, CrossingAnAlarmLimitCountsOnceInTheAlarmLog)
{
    process().setMassRate(12.0, 0.0);
    const int massRow = 2 * (reg::AlarmLog + 2 * 3);
    const int before = img().u16At(massRow);
    img().setF64At(2 * reg::CfgFlowMass + reg::CfgLoAlarm, 0.0);
    img().setF64At(2 * reg::CfgFlowMass + reg::CfgHiAlarm, 5.0);
    for (int i = 0; i < 5; ++i)
        process().step(0.25);
    EXPECT_EQ(img().u16At(2 * reg::MassRate + reg::ValueBlockAlarm), 1);
    EXPECT_EQ(img().u16At(massRow), before + 1);
    img().setF64At(2 * reg::CfgFlowMass + reg::CfgHiAlarm, 50.0);
    process().step(0.25);
    EXPECT_EQ(img().u16At(2 * reg::MassRate + reg::ValueBlockAlarm), 0);
    img().setF64At(2 * reg::CfgFlowMass + reg::CfgHiAlarm, 5.0);
    process().step(0.25);
    EXPECT_EQ(img().u16At(massRow), before + 2);
}

TEST_F(SimProcessTest, LogsStartWithEntriesAndResetCoilsClearTotals)
{
    // The error log names its newest entry; its codes have descriptions (1..14).
    const int newest = img().reg(reg::ErrorLog);
    ASSERT_GE(newest, 1);
    ASSERT_LT(newest, 48);
    for (int e = 0; e <= newest; ++e) {
        const int code = img().reg(reg::ErrorLog + 1 + e) >> 8;
        EXPECT_GE(code, 1);
        EXPECT_LE(code, 14);
    }
    EXPECT_GT(img().u16At(2 * reg::AlarmLog), 0);

    process().step(5.0);
    const int totals[][2] = {{55, reg::MassTotal}, {56, reg::VolumeTotal}, {57, reg::StdVolTotal},
                             {58, reg::ConcenTotal}, {59, reg::BatchTotal}, {67, reg::NetOilTotal},
                             {68, reg::NetOilPWTotal}};
    for (const auto &[coil, block] : totals) {
        ASSERT_GT(img().f64Reg(block), 0.0) << coil;
        simulator->device()->forceCoil(coil, true);
        EXPECT_EQ(img().f64Reg(block), 0.0) << coil;
        EXPECT_EQ(img().f64At(2 * block + reg::TotalForward), 0.0) << coil;
    }
    simulator->device()->forceCoil(60, true);
    EXPECT_EQ(img().f64Reg(reg::TimeTotal), 0.0);
}
