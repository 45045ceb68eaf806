#include "SimCalibration.h"

#include "SimDevice.h"
#include "SimProcedure.h"
#include "SimRegisters.h"

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

} // namespace

void registerCalibrationCommands(SimDevice &device)
{
    device.addCommand(0, std::make_unique<ZeroProcedure>(2300, 2312));  // electronics
    device.addCommand(1, std::make_unique<ZeroProcedure>(2296, 2308));  // system
}

} // namespace sim
