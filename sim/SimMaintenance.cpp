#include "SimMaintenance.h"

#include "Clock.h"
#include "SimDevice.h"
#include "SimFileTable.h"
#include "SimProcedure.h"
#include "SimRegisters.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace sim {

namespace {

constexpr int AnalogStartCoil = 15; // 15, 16, 17: outputs 1, 2, 4
constexpr int AnalogStopCoil = 18;  // 18, 19, 20
constexpr int FirstLatchCoil = 21;  // 21/22, 23/24, 25/26, 27/28: latch/unlatch
constexpr int PulseTestCoil = 29;
constexpr int PulseCancelCoil = 30;
constexpr int TubeTestCoil = 31;
constexpr int DirectoryCoil = 37;
constexpr int DeleteCoil = 38;
constexpr int FileInfoCoil = 39;
constexpr int MaxNamesPerReply = (reg::CommandAreaBytes - 2) / SimFileTable::NameBytes;

void refuse(SimDevice &d)
{
    d.setCoil(SimDevice::BusyCoil, true);
}

void clearDataOut(SimDevice &d)
{
    d.image().store(reg::DataOut, QByteArray(reg::CommandAreaBytes, '\0'));
}

// The pulse output runs at the asked frequency until the asked number of pulses
// has left, then stands still until the test is cancelled. Forcing the coil again
// restarts it with the new arguments.
class PulseTest final : public SimCommand {
public:
    explicit PulseTest(SimDevice &device) : m_device(device)
    {
        m_timer.setInterval(StepMs);
        QObject::connect(&m_timer, &ClockTimer::timeout, &m_timer, [this] { step(); });
        QObject::connect(&device, &SimDevice::coilForced, &m_timer, [this](int coil, bool on) {
            if ((coil == PulseCancelCoil || coil == SimDevice::AbortCoil) && on)
                stop();
            if (coil == PulseTestCoil && !on)
                stop();
        });
    }

    void run(SimDevice &d) override
    {
        m_frequency = d.image().f64At(2 * reg::DataIn);
        m_target = d.image().u16At(2 * (reg::DataIn + 4));
        if (!std::isfinite(m_frequency) || m_frequency < 0)
            m_frequency = 0;
        m_pulses = 0;
        m_startedMs = Clock::instance().nowMs();
        d.setPulseTestRunning(true);
        write(m_target > 0 ? m_frequency : 0.0);
        if (m_target == 0)
            d.setCoil(PulseTestCoil, false);
        m_timer.start();
    }

private:
    static constexpr int StepMs = 100;

    void step()
    {
        const qint64 now = Clock::instance().nowMs();
        m_pulses = std::min(double(m_target), m_frequency * double(now - m_startedMs) / 1000.0);
        const bool done = m_pulses >= m_target;
        write(done ? 0.0 : m_frequency);
        if (done)
            m_device.setCoil(PulseTestCoil, false);
    }

    void write(double frequency)
    {
        m_device.image().setF64At(2 * reg::Pulses, frequency);
        m_device.image().setF64At(2 * reg::Pulses + 8, std::floor(m_pulses));
    }

    void stop()
    {
        m_timer.stop();
        m_device.setPulseTestRunning(false);
        m_device.setCoil(PulseTestCoil, false);
    }

    SimDevice &m_device;
    ClockTimer m_timer;
    double m_frequency = 0;
    int m_target = 0;
    double m_pulses = 0;
    qint64 m_startedMs = 0;
};

// While the tube test runs, the drive current and both sensor amplitudes are
// refreshed in the result registers.
class TubeTest final : public SimProcedure {
public:
    TubeTest() : SimProcedure(500) {}

protected:
    bool begin(SimDevice &d) override
    {
        write(d, 0);
        return true;
    }
    bool step(SimDevice &d, qint64 elapsedMs) override
    {
        write(d, elapsedMs);
        return false;
    }

private:
    static void write(SimDevice &d, qint64 elapsedMs)
    {
        const double t = double(elapsedMs) / 1000.0;
        // About 100 mVrms per sensor (raw 13305.3) at 8.4 mA of drive.
        const double ripple = std::sin(t / 3.0);
        d.image().setF64At(0, 8.4 + 0.05 * ripple);
        d.image().setF64At(8, 13305.306 * (1.0 + 0.01 * ripple));
        d.image().setF64At(16, 13305.306 * (1.0 - 0.008 * ripple));
    }
};

void registerOutputTests(SimDevice &device)
{
    for (int output = 0; output < SimDevice::AnalogOutputCount; ++output) {
        device.addCommand(AnalogStartCoil + output, [output](SimDevice &d) {
            const double mA = d.image().f64At(2 * reg::DataIn);
            if (!std::isfinite(mA) || mA < 0 || mA > 24) {
                refuse(d);
                return;
            }
            d.setForcedCurrent(output, mA);
        });
        device.addCommand(AnalogStopCoil + output, [output](SimDevice &d) { d.setForcedCurrent(output, std::nullopt); });
    }
    // A relay stays latched while its latch coil is on; unlatching clears it.
    for (int relay = 0; relay < 4; ++relay) {
        const int latch = FirstLatchCoil + 2 * relay;
        device.addCommand(latch + 1, [latch](SimDevice &d) {
            d.setCoil(latch, false);
            d.setCoil(latch + 1, false);
        });
    }
    device.addCommand(PulseTestCoil, std::make_unique<PulseTest>(device));
    device.addCommand(TubeTestCoil, std::make_unique<TubeTest>());
    // The abort coil also hands every analog output back to the process.
    QObject::connect(&device, &SimDevice::coilForced, &device, [&device](int coil, bool on) {
        if (coil == SimDevice::AbortCoil && on)
            for (int output = 0; output < SimDevice::AnalogOutputCount; ++output)
                device.setForcedCurrent(output, std::nullopt);
    });
}

void registerFileCommands(SimDevice &device)
{
    device.addCommand(DirectoryCoil, [](SimDevice &d) {
        clearDataOut(d);
        const auto &files = d.files().files();
        // The count says how many files there are, even when not all names fit.
        d.image().setU16At(0, uint16_t(files.size()));
        const int shown = std::min<int>(int(files.size()), MaxNamesPerReply);
        for (int i = 0; i < shown; ++i)
            d.image().store(1 + i * SimFileTable::NameBytes / 2, files[size_t(i)].name);
    });
    device.addCommand(FileInfoCoil, [](SimDevice &d) {
        const SimFile *f = d.files().find(d.image().read(reg::DataIn, SimFileTable::NameBytes));
        if (!f) {
            refuse(d);
            return;
        }
        clearDataOut(d);
        d.image().store(reg::DataOut, SimFileTable::record(*f));
    });
    device.addCommand(DeleteCoil, [](SimDevice &d) {
        if (!d.files().remove(d.image().read(reg::DataIn, SimFileTable::NameBytes + 2)))
            refuse(d);
    });
}

} // namespace

void registerMaintenanceCommands(SimDevice &device)
{
    registerOutputTests(device);
    registerFileCommands(device);
}

} // namespace sim
