#include "SimDownload.h"

#include "Clock.h"
#include "SimDevice.h"

#include <cmath>

namespace sim {

SimDownload::SimDownload(SimDevice *device, QObject *parent)
    : QObject(parent), m_device(device), m_silence(new ClockTimer(this))
{
    m_silence->setSingleShot(true);
    connect(m_silence, &ClockTimer::timeout, this, &SimDownload::end);
    device->addCommand(DownloadCoil, [this](SimDevice &) { m_armed = true; });
    // The switch waits until the master has seen Ready: its handshake ends by
    // clearing the Ready coil, and that reply still goes out as Modbus.
    connect(device, &SimDevice::coilForced, this, [this](int coil, bool on) {
        if (m_armed && coil == SimDevice::ReadyCoil && !on) {
            m_armed = false;
            m_device->afterReply([this] { begin(); });
        }
        if (coil == SimDevice::AbortCoil && on)
            m_armed = false;
    });
}

void SimDownload::begin()
{
    m_active = true;
    m_received = 0;
    m_firstByteMs = m_lastByteMs = 0;
    m_silence->start(IdleLimitMs);
}

void SimDownload::take(const QByteArray &bytes, double arrivedAtMs)
{
    if (!m_active)
        return;
    if (m_dropAfter >= 0 && m_received + bytes.size() >= m_dropAfter) {
        m_received = m_dropAfter;
        m_active = false;
        m_silence->stop();
        emit lineDropped();
        return;
    }
    if (m_received == 0)
        m_firstByteMs = double(Clock::instance().nowMs());
    m_lastByteMs = arrivedAtMs;
    m_received += bytes.size();
    const double wait = arrivedAtMs - double(Clock::instance().nowMs());
    m_silence->start(EndSilenceMs + std::max(0, int(std::ceil(wait))));
}

void SimDownload::end()
{
    if (!m_active)
        return;
    m_active = false;
    m_lastFileBytes = m_received;
    m_lastAccepted = m_received > 0;
    emit finished(m_received, m_lastAccepted);
    // A file that arrived whole is installed by a restart; an empty one leaves the
    // transmitter on Modbus as it was.
    if (m_lastAccepted)
        m_device->reboot(SimDevice::RebootMs);
}

} // namespace sim
