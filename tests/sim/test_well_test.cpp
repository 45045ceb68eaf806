// The simulated transmitter's well test on the manual clock: start, purge,
// measurement, end and stop, driven through the coils as a master would.
#include "DefaultImage.h"
#include "InstalledClock.h"
#include "SimDevice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int Start = 86, Stop = 87;
constexpr int Param = 2 * 2128, Data = 2 * 2048;

class WellTestSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = std::make_unique<sim::SimDevice>(defaultConfigurationImage());
        // Constant live values: volume rate, net oil, net water, water cut, temperature, density.
        for (auto [r, v] : {std::pair{287, 10.0}, {450, 6.0}, {1798, 4.0}, {1781, 40.0}, {261, 25.0}, {270, 0.9}})
            device->image().setF64At(2 * r, v);
    }
    void configure(int well, int purgeType, double purgeSec, int dumps, double testSec)
    {
        RegisterImage &img = device->image();
        img.setU8At(Param + 0, uint8_t(well));
        img.setU8At(Param + 1, uint8_t(purgeType));
        img.setF64At(Param + 2, purgeSec);
        img.setF64At(Param + 10, testSec);
        img.setU8At(Param + 29, uint8_t(dumps));
    }
    void seconds(double s) { clock.advance(qint64(s * 1000)); }
    double f64(int at) const { return device->image().f64At(at); }

    InstalledClock clock; // first in, last out
    std::unique_ptr<sim::SimDevice> device;
};

TEST_F(WellTestSim, StartNeedsAValidWell)
{
    device->image().setF64At(2 * (1808 + 8 * 4) + 8, 0.0);  // well 5 without water density
    for (int well : {0, 5, 31}) {
        configure(well, 0, 0, 0, 60);
        device->forceCoil(Start, true);
        EXPECT_FALSE(device->coil(Start)) << "well " << well;
    }
    configure(2, 0, 0, 0, 60);
    device->forceCoil(Start, true);
    EXPECT_TRUE(device->coil(Start));
    EXPECT_EQ(device->image().u8At(Data + 0), 2);
    EXPECT_EQ(device->image().u8At(Data + 1), 0);   // by volume
    EXPECT_EQ(device->image().u8At(Data + 74), 16);  // net oil rate unit of the default image
}

// Progress as the window reads it, second by second through purge and measurement.
TEST_F(WellTestSim, PurgesThenMeasuresThenEnds)
{
    struct Check {
        double at;
        bool running;
        int purging;
        double purgeLeft;
        int dumpsLeft;
        double timeRemained;
    };
    struct Case {
        const char *name;
        int purgeType;
        double purgeSec;
        int dumps;
        double testSec;
        std::vector<Check> checks;
    };
    const Case cases[] = {
        {"by time", 1, 5, 0, 10,
         {{0, true, 1, 5, 0, 10}, {2, true, 1, 3, 0, 10}, {5, true, 0, 0, 0, 10}, {9, true, 0, 0, 0, 6},
          {15, false, 0, 0, 0, 0}}},
        {"by dumps", 2, 0, 3, 10,
         {{0, true, 1, 0, 3, 10}, {10, true, 1, 0, 2, 10}, {30, true, 0, 0, 0, 10}, {40, false, 0, 0, 0, 0}}},
        {"no purge, manual time counts up", 0, 99, 9, 0,
         {{0, true, 0, 0, 0, 0}, {7, true, 0, 0, 0, 7}, {3600, true, 0, 0, 0, 3600}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        configure(1, c.purgeType, c.purgeSec, c.dumps, c.testSec);
        device->forceCoil(Start, true);
        double now = 0;
        for (const Check &k : c.checks) {
            seconds(k.at - now);
            now = k.at;
            SCOPED_TRACE(k.at);
            EXPECT_EQ(device->coil(Start), k.running);
            EXPECT_EQ(device->image().u16At(Param + 18), k.purging);
            EXPECT_EQ(f64(Param + 20), k.purgeLeft);
            EXPECT_EQ(device->image().u8At(Param + 28), k.dumpsLeft);
            EXPECT_EQ(f64(Data + 66), k.timeRemained);
        }
        device->forceCoil(Stop, true);
    }
}

TEST_F(WellTestSim, AveragesAreTheMeansAndTotalsAreRateTimesTime)
{
    configure(1, 1, 3, 0, 20);
    device->forceCoil(Start, true);
    seconds(3 + 10);
    device->image().setF64At(2 * 450, 8.0);  // net oil rises for the second half
    seconds(30);
    ASSERT_FALSE(device->coil(Start));
    // Volume rate, net oil rate and total, net water rate and total, cut, temperature, density.
    const double expected[] = {10.0, 7.0, 6.0 * 10 + 8.0 * 10, 4.0, 4.0 * 20, 40.0, 25.0, 0.9};
    for (int i = 0; i < 8; ++i)
        EXPECT_DOUBLE_EQ(f64(Data + 2 + 8 * i), expected[i]) << "at byte " << 2 + 8 * i;
    EXPECT_EQ(device->image().read(2048, 80), device->image().read(2088, 80));  // kept as the last test
}

TEST_F(WellTestSim, StopCoilOrAbortEndsTheTestMidway)
{
    for (int coil : {Stop, int(sim::SimDevice::AbortCoil)}) {
        SCOPED_TRACE(coil);
        configure(1, 2, 0, 4, 60);
        device->forceCoil(Start, true);
        seconds(12);
        device->forceCoil(coil, true);
        EXPECT_FALSE(device->coil(Start));
        EXPECT_FALSE(device->coil(Stop));
        EXPECT_EQ(device->image().u16At(Param + 18), 0);
        EXPECT_EQ(device->image().u8At(Param + 28), 0);
        EXPECT_EQ(f64(Param + 20), 0.0);
        device->forceCoil(sim::SimDevice::AbortCoil, false);
    }
}

} // namespace
