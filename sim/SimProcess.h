#pragma once

#include <QObject>

#include <random>

class ClockTimer;

namespace sim {

class SimDevice;

// The process behind the transmitter: a flowing liquid whose mass rate wanders
// with noise, and everything the transmitter derives from it (totals, volumes,
// concentration, net oil and water, tube frequency and phase, outputs, alarms).
// Values are written into the device's registers in the program's base units
// (lb/sec, lb, cc/sec, cc, g/cc, °C, radians, Hz, mA).
class SimProcess : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 250;

    explicit SimProcess(SimDevice *device, QObject *parent = nullptr);

    void start(int intervalMs = DefaultIntervalMs);
    void stop();
    // Moves the process on by the given time (the timer calls this).
    void step(double seconds);
    // Fills the alarm and error logs with entries a transmitter in service would have.
    void seedLogs();

    // Mean mass rate in lb/sec and the noise on it (standard deviation).
    void setMassRate(double lbPerSec, double noise) { m_meanRate = lbPerSec; m_noise = noise; }
    // Mean density of the liquid in g/cc.
    void setDensity(double gPerCc) { m_meanDensity = gPerCc; }

private:
    void writeValueBlock(int reg, double value, int cfgBlock);
    void writeTotal(int reg, double increment);
    void writeOutputs(double dt);
    void raiseAlarm(int row);
    double liveValue(int code) const;
    double waterCutFraction(double mixtureDensity) const;

    SimDevice *m_device;
    ClockTimer *m_timer;
    qint64 m_lastMs = 0;
    std::mt19937 m_random{20261206};
    // 48 lb/min: well inside the default 25 mm sensor's range and alarm limits.
    double m_meanRate = 0.8; // lb/sec
    double m_noise = 0.004;
    double m_meanDensity = 0.9982; // water at room temperature
    double m_time = 0.0;
    double m_massRate = 0.0;
    double m_density = 0.0;
    double m_temperature = 0.0;
    double m_volumeRate = 0.0;
    double m_stdVolumeRate = 0.0;
    double m_concentration = 0.0;
    double m_concRate = 0.0;
    double m_netOilRate = 0.0;
    double m_waterCut = 0.0;
    double m_waterRate = 0.0;
    double m_pulses = 0.0;
};

} // namespace sim
