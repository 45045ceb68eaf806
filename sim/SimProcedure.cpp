#include "SimProcedure.h"

#include "Clock.h"

namespace sim {

SimProcedure::SimProcedure(int stepMs) : m_stepMs(stepMs) {}

SimProcedure::~SimProcedure()
{
    delete m_timer;
}

void SimProcedure::run(SimDevice &device)
{
    m_coil = device.forcingCoil();
    if (m_running) {
        forcedAgain(device);
        return;
    }
    if (!begin(device)) {
        // Refused: the handshake reports Busy and the coil goes off again.
        device.setCoil(m_coil, false);
        device.setCoil(SimDevice::BusyCoil, true);
        return;
    }
    m_running = true;
    m_startedMs = Clock::instance().nowMs();
    if (!m_timer) {
        m_timer = new ClockTimer;
        QObject::connect(m_timer, &ClockTimer::timeout, m_timer, [this, &device] { tick(device); });
    }
    m_timer->start(m_stepMs);
}

void SimProcedure::tick(SimDevice &device)
{
    if (!m_running)
        return;
    if (!step(device, Clock::instance().nowMs() - m_startedMs))
        return;
    // An overrunning transmitter keeps the coil on for ever.
    if (device.overrunCoil() == m_coil)
        return;
    complete(device);
    end(device);
}

void SimProcedure::cancel(SimDevice &device)
{
    if (!m_running)
        return;
    cancelled(device);
    end(device);
}

void SimProcedure::end(SimDevice &device)
{
    m_running = false;
    m_timer->stop();
    device.setCoil(m_coil, false);
}

} // namespace sim
