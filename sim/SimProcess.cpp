#include "SimProcess.h"

#include "ApiGravity.h"
#include "Clock.h"
#include "SimDevice.h"
#include "SimRegisters.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double GramsPerLb = 453.592374;
constexpr int DensityUnitApi = 4;
constexpr int AlarmRows = 21;
constexpr int WellNoByte = 9, WellCount = 30;  // in CfgFlowNetOilVar; well blocks follow CfgWell
constexpr double FixedWaterCut = 0.35;

// Alarm-log rows that watch a live value, with the value block and the
// configuration block holding its alarm limits.
struct AlarmWatch {
    int row;
    int valueBlock;
    int cfgBlock;
};
constexpr AlarmWatch Watches[] = {
    {0, reg::DspProcData + 18, reg::CfgTemp},   {1, reg::Density, reg::CfgDensity},
    {2, reg::PercentCon, reg::CfgPercentCon},   {3, reg::MassRate, reg::CfgFlowMass},
    {4, reg::VolumeRate, reg::CfgFlowVol},      {5, reg::StdVolRate, reg::CfgFlowStdVol},
    {6, reg::ConcenRate, reg::CfgFlowCon},      {7, reg::NetOilRate, reg::CfgFlowNetOil},
    {18, reg::NetOilPcntWC, reg::CfgFlowNetOilWC}, {19, reg::NetOilPWRate, reg::CfgFlowNetOilPW},
};

} // namespace

SimProcess::SimProcess(SimDevice *device, QObject *parent) : QObject(parent), m_device(device), m_timer(new ClockTimer(this))
{
    connect(m_timer, &ClockTimer::timeout, this, [this] {
        const qint64 now = Clock::instance().nowMs();
        step(double(now - m_lastMs) / 1000.0);
        m_lastMs = now;
    });
    step(0.0);
}

void SimProcess::start(int intervalMs)
{
    m_lastMs = Clock::instance().nowMs();
    m_timer->start(intervalMs);
}

void SimProcess::stop()
{
    m_timer->stop();
}

// Oil and water of the selected well mixed to the measured density. Without a
// well whose water is denser than its oil, a fixed cut.
double SimProcess::waterCutFraction(double mixtureDensity) const
{
    const RegisterImage &img = m_device->image();
    const int well = img.u8At(2 * reg::CfgFlowNetOilVar + WellNoByte);
    if (well >= 1 && well <= WellCount) {
        const int at = 2 * (reg::CfgWell + 1 + 8 * (well - 1));
        const double oil = img.f64At(at), water = img.f64At(at + 8);
        if (oil > 0.0 && water > oil)
            return std::clamp((mixtureDensity - oil) / (water - oil), 0.0, 1.0);
    }
    return FixedWaterCut;
}

void SimProcess::step(double dt)
{
    RegisterImage &img = m_device->image();
    std::normal_distribution<double> gauss(0.0, 1.0);
    m_time += dt;

    // The flow wanders slowly around its mean; density and temperature drift a little.
    m_massRate = std::max(0.0, m_meanRate * (1.0 + 0.04 * std::sin(m_time / 37.0)) + m_noise * gauss(m_random));
    m_density = m_meanDensity + 0.0004 * std::sin(m_time / 53.0) + 0.00005 * gauss(m_random);
    m_temperature = 21.5 + 0.6 * std::sin(m_time / 120.0) + 0.02 * gauss(m_random);
    m_volumeRate = m_massRate * GramsPerLb / m_density;
    const double stdDensity = img.f64At(2 * reg::CfgFlowStdVol + reg::CfgStdDens);
    m_stdVolumeRate = m_massRate * GramsPerLb / (stdDensity > 0.1 && stdDensity < 5.0 ? stdDensity : 0.9991);
    m_concentration = 12.5 + 0.1 * gauss(m_random);
    m_concRate = m_massRate * m_concentration / 100.0;
    m_waterCut = 100.0 * waterCutFraction(m_density);
    // Net oil and net water follow the configured basis: 1 mass, otherwise volume.
    const bool netByMass = img.u8At(2 * reg::CfgFlowNetOilVar + 8) == 1;
    const double netBase = netByMass ? m_massRate : m_volumeRate;
    m_netOilRate = netBase * (1.0 - m_waterCut / 100.0);
    m_waterRate = netBase * m_waterCut / 100.0;

    writeValueBlock(reg::MassRate, m_massRate, reg::CfgFlowMass);
    writeValueBlock(reg::RtdTemp, m_temperature, reg::CfgTemp);
    // A transmitter whose density unit is °API reports density in °API.
    const bool densityInApi = img.u8At(2 * reg::CfgDensity) == DensityUnitApi;
    const int stdTemp = img.u8At(2 * reg::CfgWell + 1);
    writeValueBlock(reg::Density, densityInApi ? ApiGravity::FromDensity(m_density, stdTemp) : m_density,
                    reg::CfgDensity);
    writeValueBlock(reg::VolumeRate, m_volumeRate, reg::CfgFlowVol);
    writeValueBlock(reg::StdVolRate, m_stdVolumeRate, reg::CfgFlowStdVol);
    writeValueBlock(reg::PercentCon, m_concentration, reg::CfgPercentCon);
    writeValueBlock(reg::ConcenRate, m_concRate, reg::CfgFlowCon);
    writeValueBlock(reg::NetOilRate, m_netOilRate, reg::CfgFlowNetOil);
    writeValueBlock(reg::NetOilPcntWC, m_waterCut, reg::CfgFlowNetOilWC);
    writeValueBlock(reg::NetOilPWRate, m_waterRate, reg::CfgFlowNetOilPW);

    writeTotal(reg::MassTotal, m_massRate * dt);
    writeTotal(reg::VolumeTotal, m_volumeRate * dt);
    writeTotal(reg::StdVolTotal, m_stdVolumeRate * dt);
    writeTotal(reg::BatchTotal, m_massRate * dt);
    writeTotal(reg::ConcenTotal, m_concRate * dt);
    writeTotal(reg::NetOilTotal, m_netOilRate * dt);
    writeTotal(reg::NetOilPWTotal, m_waterRate * dt);
    img.setF64At(2 * reg::TimeTotal, img.f64At(2 * reg::TimeTotal) + dt);

    // The tube: frequency falls with density, phase follows the mass flow.
    const double frequency = 160.0 / std::sqrt(1.0 + 0.55 * m_density) + 0.002 * gauss(m_random);
    const double phase = 0.00085 * m_massRate + 0.000005 * gauss(m_random);
    writeValueBlock(reg::DspProcData, frequency, 0);
    writeValueBlock(reg::DspProcData + 9, phase, 0);
    writeValueBlock(reg::DspProcData + 18, m_temperature, reg::CfgTemp);
    img.setF64At(2 * (reg::DspProcData + 27), 0.001 * gauss(m_random));
    img.setU32At(2 * (reg::DspProcData + 31), img.u32At(2 * (reg::DspProcData + 31)) + 1);
    writeValueBlock(reg::DriverCurr, 8.4 + 0.05 * gauss(m_random), 0);

    writeOutputs(dt);
}

void SimProcess::writeValueBlock(int block, double value, int cfgBlock)
{
    RegisterImage &img = m_device->image();
    const int at = 2 * block;
    img.setF64At(at, value);
    img.setF64At(at + reg::ValueBlockMax, std::max(value, img.f64At(at + reg::ValueBlockMax)));
    if (cfgBlock == 0)
        return;
    const double lo = img.f64At(2 * cfgBlock + reg::CfgLoAlarm);
    const double hi = img.f64At(2 * cfgBlock + reg::CfgHiAlarm);
    const bool alarm = hi > lo && (value < lo || value > hi);
    const bool wasAlarm = img.u16At(at + reg::ValueBlockAlarm) == 1;
    img.setU16At(at + reg::ValueBlockAlarm, alarm ? 1 : 0);
    if (alarm && !wasAlarm) {
        for (const AlarmWatch &w : Watches)
            if (w.valueBlock == block)
                raiseAlarm(w.row);
    }
}

void SimProcess::writeTotal(int block, double increment)
{
    // The process flows one way. Configured as forward, the forward total grows
    // with the total; configured as reverse, the flow counts against the total and
    // the forward total stands still.
    RegisterImage &img = m_device->image();
    const int at = 2 * block;
    const bool reverse = img.u8At(2 * reg::CfgFlowDir) & 1;
    img.setF64At(at, img.f64At(at) + (reverse ? -increment : increment));
    if (!reverse)
        img.setF64At(at + reg::TotalForward, img.f64At(at + reg::TotalForward) + increment);
}

void SimProcess::raiseAlarm(int row)
{
    if (row < 0 || row >= AlarmRows)
        return;
    RegisterImage &img = m_device->image();
    const int at = 2 * (reg::AlarmLog + 2 * row);
    img.setU16At(at, uint16_t(std::min(0xFFFF, img.u16At(at) + 1)));
    img.setU16At(at + 2, 1);
}

double SimProcess::liveValue(int code) const
{
    const RegisterImage &img = m_device->image();
    switch (code) {
    case 3: return m_temperature;
    case 4: return img.f64Reg(reg::Density);   // as reported: g/cc or °API
    case 5: return m_massRate;
    case 7: return m_volumeRate;
    case 9: return m_stdVolumeRate;
    case 11: return m_concentration;
    case 12: return m_concRate;
    case 14: return m_netOilRate;
    case 50: return m_waterCut;
    case 51: return m_waterRate;
    case 6: return img.f64Reg(reg::MassTotal);
    case 8: return img.f64Reg(reg::VolumeTotal);
    case 10: return img.f64Reg(reg::StdVolTotal);
    case 13: return img.f64Reg(reg::ConcenTotal);
    case 15: return img.f64Reg(reg::NetOilTotal);
    case 16: return img.f64Reg(reg::BatchTotal);
    default: return 0.0;
    }
}

void SimProcess::writeOutputs(double dt)
{
    RegisterImage &img = m_device->image();
    const auto percentOf = [](double v, double lo, double hi) { return hi != lo ? (v - lo) * 100.0 / (hi - lo) : 0.0; };

    for (int output = 0; output < SimDevice::AnalogOutputCount; ++output) {
        const int at = 2 * reg::Cfg420Out[output];
        const int code = img.u8At(at + 66);
        const std::optional<double> forced = m_device->forcedCurrent(output);
        if (code == 21 && !forced) // keyboard data: the output holds what was typed
            continue;
        const double value = liveValue(code);
        const double pct = forced ? (*forced - 4.0) / 0.16 : percentOf(value, img.f64At(at), img.f64At(at + 8));
        const double mA = forced ? *forced : std::clamp(4.0 + 0.16 * pct, 3.8, 20.5);
        img.setF64At(at + 16, value);
        img.setF64At(at + 24, mA);
        img.setF64At(at + 32, pct);
        img.setU16At(at + 40, uint16_t(std::lround(mA * 65535.0 / 24.0)));
    }

    if (m_device->pulseTestRunning())
        return;
    const int pulse = 2 * reg::CfgPulse;
    const int code = img.u8At(pulse);
    const double maxFreq = img.f64At(pulse + 26) > 0 ? img.f64At(pulse + 26) : 10000.0;
    double frequency = 0.0;
    const bool isTotal = code == 6 || code == 8 || code == 10 || code == 13 || code == 15 || code == 16
                         || (code >= 38 && code <= 48) || (code >= 52 && code <= 54);
    if (code == 21) {
        frequency = img.f64At(pulse + 42);
        m_pulses += frequency * dt;
    } else if (isTotal) {
        const double perUnit = img.f64At(pulse + 18);
        m_pulses = std::max(0.0, liveValue(code) * perUnit);
        frequency = m_massRate * perUnit;
    } else {
        const double pct = percentOf(liveValue(code), img.f64At(pulse + 2), img.f64At(pulse + 10));
        frequency = std::clamp(pct / 100.0 * maxFreq, 0.0, maxFreq);
        img.setF64At(pulse + 34, pct);
        m_pulses += frequency * dt;
    }
    img.setF64At(2 * reg::Pulses, frequency);
    img.setF64At(2 * reg::Pulses + 8, m_pulses);
}

void SimProcess::seedLogs()
{
    RegisterImage &img = m_device->image();
    // Error log: pointer to the newest entry, then code (high byte) and task (low byte).
    const uint16_t errors[] = {0x0502, 0x0904, 0x0202, 0x0602};
    img.setU16At(2 * reg::ErrorLog, uint16_t(std::size(errors) - 1));
    for (size_t i = 0; i < std::size(errors); ++i)
        img.setU16At(2 * (reg::ErrorLog + 1 + int(i)), errors[i]);
    // Alarm log: a temperature excursion, two flow alarms, one sensor error.
    raiseAlarm(0);
    raiseAlarm(3);
    raiseAlarm(3);
    raiseAlarm(10);
}

} // namespace sim
