#pragma once

#include "LineSettings.h"
#include "RegisterImage.h"

#include <QByteArray>
#include <QObject>

#include <array>
#include <bitset>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class ClockTimer;

namespace sim {

class SimDevice;
class SimFileTable;

// One transmitter command, started by forcing its coil on. Each command the
// simulator understands is one small class (or a lambda) registered with
// SimDevice::addCommand; procedures that take time keep their own ClockTimer.
class SimCommand {
public:
    virtual ~SimCommand() = default;
    virtual void run(SimDevice &device) = 0;
};

// The simulated transmitter's state and its Modbus server: the 3,402 holding
// registers, coils 0..87, the command coils with their Busy/Ready handshake and
// the communication settings it listens with.
class SimDevice : public QObject {
    Q_OBJECT
public:
    static constexpr int CoilCount = 88;
    enum HandshakeCoil { BusyCoil = 81, AbortCoil = 82, ReadyCoil = 83 };
    // Modbus exception codes the server answers with.
    enum Exception { IllegalFunction = 1, IllegalAddress = 2, IllegalValue = 3 };

    // Starts from the given image (6,804 bytes; anything else leaves zeros).
    explicit SimDevice(const QByteArray &image, QObject *parent = nullptr);
    ~SimDevice() override;

    // ---- Modbus server ----
    bool answers(uint8_t unit) const { return !m_silent && unit == m_comm.unitId; }
    // The reply PDU to a request PDU (function code and data); never empty.
    QByteArray handle(const QByteArray &pdu);
    // Changes that must wait until the reply to the request that caused them has
    // been sent (a new address, framing or line speed). The front end calls this
    // once the reply's last byte is out.
    void runAfterReply();
    static QByteArray exceptionPdu(uint8_t function, uint8_t code);

    // ---- State ----
    RegisterImage &image() { return m_image; }
    const RegisterImage &image() const { return m_image; }
    bool coil(int n) const { return n >= 0 && n < CoilCount && m_coils[size_t(n)]; }
    void setCoil(int n, bool on);
    // What a master's force does, handshake included.
    void forceCoil(int n, bool on);

    const CommConfig &comm() const { return m_comm; }
    // Takes a new address, framing and line at once and stores them in the registers.
    void setComm(const CommConfig &c);
    // Reads address, framing and serial record from their registers and takes them.
    void loadCommFromRegisters();

    // Model letter reported by the version command: 'N' = Ostrel, 'R' = KRM410.
    void setModelLetter(char letter) { m_modelLetter = letter; }
    char modelLetter() const { return m_modelLetter; }

    // Silent for a while (reboot), then back with coils cleared.
    void reboot(int ms);
    bool silent() const { return m_silent; }
    static constexpr int RebootMs = 2000;

    // A command coil that never finishes: forcing it leaves Busy set.
    void setStuckBusyCoil(int coil) { m_stuckBusyCoil = coil; }
    // A timed procedure that never ends: its coil stays on (-1 = off).
    void setOverrunCoil(int coil) { m_overrunCoil = coil; }
    int overrunCoil() const { return m_overrunCoil; }
    // The coil whose command is being started (valid inside SimCommand::run).
    int forcingCoil() const { return m_forcingCoil; }
    // The transmitter gives up its running procedures on its own: each is cancelled
    // without results and the Busy coil reports it.
    void abortProcedures();

    void addCommand(int coil, std::unique_ptr<SimCommand> command);
    void addCommand(int coil, std::function<void(SimDevice &)> action);
    // Schedules a change for after the current reply.
    void afterReply(std::function<void()> action) { m_afterReply.push_back(std::move(action)); }

    // An analog output (0..2: the three output blocks in register order) driven at a
    // fixed current by a test or calibration holds it against the live process until
    // released (nullopt).
    static constexpr int AnalogOutputCount = 3;
    void setForcedCurrent(int output, std::optional<double> mA)
    {
        if (output >= 0 && output < AnalogOutputCount)
            m_forcedCurrent[size_t(output)] = mA;
    }
    std::optional<double> forcedCurrent(int output) const
    {
        return output >= 0 && output < AnalogOutputCount ? m_forcedCurrent[size_t(output)] : std::nullopt;
    }

    // The pulse output is driven by the pulse test, not by the process.
    void setPulseTestRunning(bool on) { m_pulseTest = on; }
    bool pulseTestRunning() const { return m_pulseTest; }

    // The transmitter's file system.
    SimFileTable &files() { return *m_files; }

    // The image the transmitter holds after a "Load Defaults".
    const QByteArray &defaults() const { return m_defaults; }

    // Coils that take no part in the completion handshake (no Ready afterwards).
    static bool signalsCompletion(int coil);

signals:
    void commChanged(const sim::CommConfig &config);
    void coilForced(int coil, bool on);
    void registersWritten(int first, int count);
    // Protocol reset: continuous output starts (true) or Modbus resumes (false).
    void continuousOutput(bool on);

private:
    QByteArray readRegisters(const QByteArray &pdu);
    QByteArray writeRegisters(const QByteArray &pdu);
    QByteArray readCoils(const QByteArray &pdu);
    QByteArray writeCoil(const QByteArray &pdu);
    void registerStandardCommands();
    // Cancels the timed procedure on coil (every one for -1).
    void cancelProcedures(int coil);
    void storeComm(const CommConfig &c);

    RegisterImage m_image;
    QByteArray m_defaults;
    std::bitset<CoilCount> m_coils;
    CommConfig m_comm;
    char m_modelLetter = 'N';
    bool m_silent = false;
    int m_stuckBusyCoil = -1;
    int m_overrunCoil = -1;
    int m_forcingCoil = -1;
    std::array<std::optional<double>, AnalogOutputCount> m_forcedCurrent{};
    bool m_pulseTest = false;
    std::unique_ptr<SimFileTable> m_files;
    std::map<int, std::unique_ptr<SimCommand>> m_commands;
    std::vector<std::function<void()>> m_afterReply;
    ClockTimer *m_rebootTimer = nullptr;
};

} // namespace sim
