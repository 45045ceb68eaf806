#pragma once

#include "SimDevice.h"

#include <QtGlobal>

class ClockTimer;

namespace sim {

// A transmitter procedure that takes time (a zero, a stabilisation, a test run).
// Forcing its coil on starts it; the coil stays on while it runs and the
// procedure clears it when done. Forcing the coil off, or forcing the Abort coil,
// cancels it without results. Time comes from the clock seam: tests run a whole
// procedure on the manual clock.
class SimProcedure : public SimCommand {
public:
    static constexpr int DefaultStepMs = 250;

    explicit SimProcedure(int stepMs = DefaultStepMs);
    ~SimProcedure() override;

    void run(SimDevice &device) final;
    bool running() const { return m_running; }
    // Stops the run without results (coil off, Abort coil, the device's own abort).
    void cancel(SimDevice &device);

protected:
    // The run starts; arguments are in the command area. Returning false refuses the
    // start: the handshake reports Busy and the coil is cleared again.
    virtual bool begin(SimDevice &device) = 0;
    // One step of elapsedMs since the start; true when the run is complete.
    virtual bool step(SimDevice &device, qint64 elapsedMs) = 0;
    // The coil was forced on again while the run goes on (new arguments, say).
    virtual void forcedAgain(SimDevice &) {}
    // Results go to their registers.
    virtual void complete(SimDevice &) {}
    // Undo whatever the run holds (a forced output current, say).
    virtual void cancelled(SimDevice &) {}

private:
    void tick(SimDevice &device);
    void end(SimDevice &device);

    int m_stepMs;
    int m_coil = -1;
    bool m_running = false;
    qint64 m_startedMs = 0;
    ClockTimer *m_timer = nullptr;
};

} // namespace sim
