#include "SimWellTest.h"

#include "SimDevice.h"
#include "SimProcedure.h"
#include "SimRegisters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace sim {

namespace {

constexpr int StartCoil = 86;
constexpr int StopCoil = 87;

// Test parameters (2128) and the running test's data (2048), as byte offsets.
namespace param {
constexpr int Block = 2 * 2128;
constexpr int WellNo = Block + 0, PurgeType = Block + 1, PurgeSec = Block + 2, TestSec = Block + 10;
constexpr int PurgingFlag = Block + 18, PurgeSecLeft = Block + 20, PurgeDumpLeft = Block + 28, NoOfDump = Block + 29;
} // namespace param
namespace data {
constexpr int Block = 2 * 2048;
constexpr int Bytes = 80;
constexpr int WellNo = Block + 0, MeasParam = Block + 1, AvgVolRate = Block + 2, AvgNetOilRate = Block + 10;
constexpr int NetOilTotal = Block + 18, AvgPWRate = Block + 26, PWTotal = Block + 34, AvgPcntWC = Block + 42;
constexpr int AvgTemp = Block + 50, AvgDensity = Block + 58, TimeRemained = Block + 66, Units = Block + 74;
} // namespace data
constexpr int LastWellTest = 2 * 2088;
constexpr int WellBlock = 1808;

enum PurgeType { NoPurge = 0, PurgeByTime = 1, PurgeByDumps = 2 };

// Longest purge or test the simulated transmitter takes (far beyond the 24 h a
// test can be configured for); anything else from the registers counts as 0.
constexpr double LongestSeconds = 100.0 * 24 * 3600;

double seconds(double fromRegister)
{
    return std::isfinite(fromRegister) && fromRegister > 0.0 ? std::min(fromRegister, LongestSeconds) : 0.0;
}

bool wellIsValid(const RegisterImage &img, int well)
{
    if (well < 1 || well > 30)
        return false;
    const int at = 2 * (WellBlock + 8 * (well - 1));
    return img.f64At(at) != 0.0 && img.f64At(at + 8) != 0.0;
}

// A running well test: purge (by time or by dumps), then the measurement, which
// averages the live values over the test time and totals net oil and net water.
// A test time of 0 ("Manual") measures until stopped, its time counting up.
class WellTest final : public SimProcedure {
public:
    explicit WellTest(int dumpSeconds) : SimProcedure(250), m_dumpSeconds(std::max(1, dumpSeconds)) {}

protected:
    bool begin(SimDevice &d) override
    {
        RegisterImage &img = d.image();
        const int well = img.u8At(param::WellNo);
        if (!wellIsValid(img, well))
            return false;
        m_purgeType = img.u8At(param::PurgeType);
        m_dumps = img.u8At(param::NoOfDump);
        m_testSec = seconds(img.f64At(param::TestSec));
        m_purgeSec = 0.0;
        if (m_purgeType == PurgeByTime)
            m_purgeSec = seconds(img.f64At(param::PurgeSec));
        else if (m_purgeType == PurgeByDumps)
            m_purgeSec = double(m_dumps) * m_dumpSeconds;
        m_measuredSec = 0.0;
        m_sums = {};

        img.store(data::Block / 2, QByteArray(data::Bytes, '\0'));
        img.setU8At(data::WellNo, uint8_t(well));
        img.setU8At(data::MeasParam, img.u8At(2 * reg::CfgFlowNetOilVar + 8));
        const int unitSources[] = {reg::CfgFlowNetOil, reg::CfgFlowNetOilWC, reg::CfgFlowNetOilPW, reg::CfgDensity,
                                   reg::CfgTemp};
        for (int i = 0; i < int(std::size(unitSources)); ++i)
            img.setU8At(data::Units + i, img.u8At(2 * unitSources[i]));
        showProgress(img, 0.0);
        return true;
    }

    bool step(SimDevice &d, qint64 elapsedMs) override
    {
        RegisterImage &img = d.image();
        const double elapsed = double(elapsedMs) / 1000.0;
        const double measuring = std::clamp(elapsed - m_purgeSec, 0.0, m_testSec > 0.0 ? m_testSec : LongestSeconds);
        accumulate(img, measuring - m_measuredSec);
        m_measuredSec = measuring;
        showProgress(img, elapsed);
        return m_testSec > 0.0 && measuring >= m_testSec;
    }

    void complete(SimDevice &d) override
    {
        RegisterImage &img = d.image();
        img.setU16At(param::PurgingFlag, 0);
        img.store(LastWellTest / 2, img.read(data::Block / 2, data::Bytes));
    }

    void cancelled(SimDevice &d) override
    {
        RegisterImage &img = d.image();
        img.setU16At(param::PurgingFlag, 0);
        img.setF64At(param::PurgeSecLeft, 0.0);
        img.setU8At(param::PurgeDumpLeft, 0);
        d.setCoil(StopCoil, false);
    }

private:
    // Adds dt seconds of the live values to the totals and the time-weighted means.
    void accumulate(RegisterImage &img, double dt)
    {
        if (dt <= 0.0)
            return;
        const double live[] = {img.f64Reg(reg::VolumeRate), img.f64Reg(reg::NetOilRate), img.f64Reg(reg::NetOilPWRate),
                               img.f64Reg(reg::NetOilPcntWC), img.f64Reg(reg::RtdTemp), img.f64Reg(reg::Density)};
        for (size_t i = 0; i < std::size(live); ++i)
            m_sums[i] += live[i] * dt;
        const double time = m_measuredSec + dt;
        const int means[] = {data::AvgVolRate, data::AvgNetOilRate, data::AvgPWRate, data::AvgPcntWC, data::AvgTemp,
                             data::AvgDensity};
        for (size_t i = 0; i < std::size(means); ++i)
            img.setF64At(means[i], m_sums[i] / time);
        img.setF64At(data::NetOilTotal, m_sums[1]);
        img.setF64At(data::PWTotal, m_sums[2]);
    }

    // The counters the window follows: purge seconds or dumps left, then the test time.
    void showProgress(RegisterImage &img, double elapsed)
    {
        const bool purging = elapsed < m_purgeSec;
        img.setU16At(param::PurgingFlag, purging ? 1 : 0);
        const double purgeLeft = std::max(0.0, std::ceil(m_purgeSec - elapsed));
        img.setF64At(param::PurgeSecLeft, m_purgeType == PurgeByTime ? purgeLeft : 0.0);
        const int dumpsDone = int(elapsed / m_dumpSeconds);
        img.setU8At(param::PurgeDumpLeft, m_purgeType == PurgeByDumps ? uint8_t(std::max(0, m_dumps - dumpsDone)) : 0);
        img.setF64At(data::TimeRemained, m_testSec > 0.0 ? std::max(0.0, std::ceil(m_testSec - m_measuredSec))
                                                         : std::floor(m_measuredSec));
    }

    int m_dumpSeconds;
    int m_purgeType = NoPurge;
    int m_dumps = 0;
    double m_purgeSec = 0.0;
    double m_testSec = 0.0;
    double m_measuredSec = 0.0;
    // Integrals of volume rate, net oil rate, net water rate, water cut, temperature, density.
    std::array<double, 6> m_sums{};
};

} // namespace

void registerWellTestCommands(SimDevice &device, int dumpSeconds)
{
    device.addCommand(StartCoil, std::make_unique<WellTest>(dumpSeconds));
    device.addCommand(StopCoil, [](SimDevice &d) {
        d.forceCoil(StartCoil, false);
        d.setCoil(StopCoil, false);
    });
}

} // namespace sim
