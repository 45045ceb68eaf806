#include "SimCalibration.h"

#include "SimDevice.h"
#include "SimProcedure.h"
#include "SimRegisters.h"

#include <cmath>
#include <memory>

namespace sim {

namespace {

constexpr int DataInBytes = 2 * reg::DataIn;

// The flow zero, measured over intervals x zeros x 10 s (low bytes of both counts).
class ZeroProcedure final : public SimProcedure {
public:
    // The zero and its standard deviation (radians) the measurement arrives at.
    static constexpr double MeasuredZero = 0.001;
    static constexpr double MeasuredStdDev = 0.00002;

    ZeroProcedure(int valueReg, int stdDevReg) : m_valueReg(valueReg), m_stdDevReg(stdDevReg) {}

protected:
    bool begin(SimDevice &d) override
    {
        const int intervals = d.image().u16At(DataInBytes) & 0xFF;
        const int zeros = d.image().u16At(DataInBytes + 2) & 0xFF;
        m_durationMs = qint64(intervals) * zeros * 10'000;
        return true;
    }
    bool step(SimDevice &, qint64 elapsedMs) override { return elapsedMs >= m_durationMs; }
    void complete(SimDevice &d) override
    {
        d.image().setF64At(2 * m_valueReg, MeasuredZero);
        d.image().setF64At(2 * m_stdDevReg, MeasuredStdDev);
    }

private:
    int m_valueReg;
    int m_stdDevReg;
    qint64 m_durationMs = 0;
};

// A mass-calibration run: product flows at a steady rate and the run total grows
// in the results (rate at register 0, total at register 4) until the run ends.
class MassRun : public SimProcedure {
public:
    static constexpr double FlowRate = 80.0 / 60.0;  // lb/sec
    static constexpr qint64 DumpMs = 20'000;

protected:
    bool begin(SimDevice &d) override
    {
        m_total = 0.0;
        putResults(d, 0.0);
        return prepare(d);
    }
    bool step(SimDevice &d, qint64 elapsedMs) override
    {
        m_total = FlowRate * double(elapsedMs) / 1000.0;
        if (m_total >= target())
            m_total = target();
        putResults(d, FlowRate);
        return m_total >= target();
    }
    void complete(SimDevice &d) override { putResults(d, 0.0); }
    virtual bool prepare(SimDevice &) { return true; }
    virtual double target() const { return FlowRate * DumpMs / 1000.0; }

private:
    void putResults(SimDevice &d, double rate)
    {
        d.image().setF64At(2 * reg::DataOut, rate);
        d.image().setF64At(2 * reg::DataOut + 8, m_total);
    }
    double m_total = 0.0;
};

// A batch run counts to the batch size less the trickle offset (batch block at 550,
// the mass-total code in its first byte).
class BatchRun final : public MassRun {
protected:
    bool prepare(SimDevice &d) override
    {
        const int block = 2 * reg::CfgBatch;
        m_target = d.image().f64At(block + 2) - d.image().f64At(block + 10);
        return d.image().u8At(block) == 6 && std::isfinite(m_target) && m_target > 0.0;
    }
    double target() const override { return m_target; }

private:
    double m_target = 0.0;
};

// Lets the temperature reading settle before an auto temperature calibration.
class TemperatureStabilize final : public SimProcedure {
public:
    static constexpr qint64 SettleMs = 5'000;

protected:
    bool begin(SimDevice &) override { return true; }
    bool step(SimDevice &, qint64 elapsedMs) override { return elapsedMs >= SettleMs; }
};

// The RTD offset that makes the live temperature read the actual one: a Pt100
// changes 0.385 ohm per degree, and counts = N / R x ohms.
void applyTemperatureOffset(SimDevice &d)
{
    const double actual = d.image().f64At(DataInBytes);
    const double live = d.image().f64At(2 * reg::RtdTemp);
    const double r = d.image().f64At(2 * reg::RefRes);
    const double n = double(int32_t(d.image().u32At(2 * reg::RefResVolt)));
    const double counts = d.image().f64At(2 * reg::RTDResOff) + n / r * 0.385 * (actual - live);
    if (r == 0.0 || n == 0.0 || !std::isfinite(counts))
        d.setCoil(SimDevice::BusyCoil, true);  // refused
    else
        d.image().setF64At(2 * reg::RTDResOff, counts);
}

// Lets the density reading settle on the product; the live density follows in the results.
class DensityStabilize final : public SimProcedure {
public:
    static constexpr qint64 SettleMs = 8'000;

protected:
    bool begin(SimDevice &d) override
    {
        showDensity(d);
        return true;
    }
    bool step(SimDevice &d, qint64 elapsedMs) override
    {
        showDensity(d);
        return elapsedMs >= SettleMs;
    }

private:
    static void showDensity(SimDevice &d) { d.image().setF64At(2 * reg::DataOut, d.image().f64At(2 * reg::Density)); }
};

// The two-point density calibration through the air point of the calibration block
// and the product point (actual density in the command area, the present tube
// frequency), with density = C1 / f^2 + C2.
void calibrateDensity(SimDevice &d)
{
    constexpr double AirDensity = 0.0012;
    const int block = 2 * reg::DensityCal;
    const double airFreq = d.image().f64At(block + 16);
    const double productFreq = d.image().f64At(2 * reg::DspProcData);
    const double productDensity = d.image().f64At(DataInBytes);
    const double c1 = (productDensity - AirDensity) / (1.0 / (productFreq * productFreq) - 1.0 / (airFreq * airFreq));
    const double c2 = AirDensity - c1 / (airFreq * airFreq);
    // A product density must be a density: zero or less would turn C1 and C2 upside down.
    if (!(productDensity > 0.0) || !(airFreq > 0.0) || !(productFreq > 0.0) || productFreq == airFreq ||
        !std::isfinite(c1) || !std::isfinite(c2)) {
        d.setCoil(SimDevice::BusyCoil, true);  // refused
        return;
    }
    d.image().setF64At(block, c1);
    d.image().setF64At(block + 8, c2);
    d.image().setF64At(block + 32, productFreq);
    d.image().setF64At(block + 40, d.image().f64At(2 * (reg::DspProcData + 18)));
}

// An analog output driven at the current in the command area; it holds that current
// against the live process until released (its coil forced off, the end coil, Abort).
// The drive also takes the output's fixed current, as the transmitter's own does.
class AnalogDrive final : public SimProcedure {
public:
    explicit AnalogDrive(int output) : m_output(output) {}

protected:
    bool begin(SimDevice &d) override
    {
        const double mA = d.image().f64At(DataInBytes);
        if (!std::isfinite(mA) || mA < 0.0 || mA > 24.0)
            return false;
        const int block = 2 * reg::Cfg420Out[m_output];
        d.setForcedCurrent(m_output, mA);
        d.image().setF64At(block + 24, mA);
        d.image().setF64At(block + 58, mA);
        return true;
    }
    // A new current while driven: the output follows it (a refused one leaves it).
    void forcedAgain(SimDevice &d) override
    {
        if (!begin(d))
            d.setCoil(SimDevice::BusyCoil, true);
    }
    bool step(SimDevice &, qint64) override { return false; }
    void cancelled(SimDevice &d) override { d.setForcedCurrent(m_output, std::nullopt); }

private:
    int m_output;
};

// The two-point trim from the currents a meter read at 4 and 19 mA.
void trimAnalogOutput(SimDevice &d, int output)
{
    const double lo = d.image().f64At(DataInBytes), hi = d.image().f64At(DataInBytes + 8);
    const int block = 2 * reg::Cfg420Out[output];
    const double gain = d.image().f64At(block + 42) * 15.0 / (hi - lo);
    const double offset = d.image().f64At(block + 50) + (4.0 - lo);
    // A high reading at or below the low one would invert the output.
    if (!(hi > lo) || !(gain > 0.0) || !std::isfinite(gain) || !std::isfinite(offset)) {
        d.setCoil(SimDevice::BusyCoil, true);  // refused
        return;
    }
    d.image().setF64At(block + 42, gain);
    d.image().setF64At(block + 50, offset);
}

} // namespace

void registerCalibrationCommands(SimDevice &device)
{
    device.addCommand(2, std::make_unique<TemperatureStabilize>());
    device.addCommand(3, applyTemperatureOffset);
    device.addCommand(6, std::make_unique<MassRun>());
    device.addCommand(7, std::make_unique<BatchRun>());
    device.addCommand(80, [](SimDevice &d) { d.forceCoil(7, false); });  // stop the batch
    device.addCommand(8, [](SimDevice &d) {
        const double scalar = d.image().f64At(DataInBytes);
        if (std::isfinite(scalar) && scalar > 0.0)
            d.image().setF64At(2 * reg::MassScalar, scalar);
        else
            d.setCoil(SimDevice::BusyCoil, true);  // refused
    });
    device.addCommand(4, std::make_unique<DensityStabilize>());
    device.addCommand(5, calibrateDensity);
    for (int output = 0; output < SimDevice::AnalogOutputCount; ++output) {
        const int drive = 9 + output;
        device.addCommand(drive, std::make_unique<AnalogDrive>(output));
        device.addCommand(12 + output, [output](SimDevice &d) { trimAnalogOutput(d, output); });
        device.addCommand(18 + output, [drive](SimDevice &d) { d.forceCoil(drive, false); });
    }
    device.addCommand(0, std::make_unique<ZeroProcedure>(2300, 2312));  // electronics
    device.addCommand(1, std::make_unique<ZeroProcedure>(2296, 2308));  // system
}

} // namespace sim
