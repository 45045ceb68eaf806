#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTimer>

class ModbusLink;
class Session;

// CPU time (user and system) this process has used so far, in seconds.
double cpuSeconds();

// Seconds that many characters need on the wire at the baud rate (8N1: ten bits a
// character).
double wireSeconds(qint64 characters, int baud);

// Elapsed and CPU time since construction, in seconds.
class Stopwatch {
public:
    Stopwatch();
    double elapsed() const;
    double cpu() const;

private:
    double m_cpuStart;
    QElapsedTimer m_timer;
};

// Gaps in the event loop, measured by a 1 ms timer: the time the GUI could not
// have answered the user.
class EventLoopProbe {
public:
    EventLoopProbe();
    void start();
    void stop() { m_timer.stop(); }
    double longestGapMs() const { return double(m_longestGap) / 1e6; }
    // Seconds from start() to the beginning of the longest gap.
    double longestGapAt() const { return double(m_longestGapAt) / 1e9; }
    int gapsOver(int ms) const;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0, m_longestGap = 0, m_longestGapAt = 0;
    QList<qint64> m_gaps;  // those over a millisecond
};

// A tarvine-sim in its own process (so this process's CPU time is the program's
// own), serving a pseudo-terminal until destroyed.
class SimProcess {
public:
    explicit SimProcess(const QStringList &arguments);
    ~SimProcess();

    // The arguments for one framing (0 ASCII, otherwise RTU) at one baud rate.
    static QStringList lineArguments(int framing, int baud);

    // The pseudo-terminal's path; empty when the simulator did not start.
    QString path() const { return m_path; }

private:
    QProcess m_process;
    QString m_path;
};

// A logged-in Programmer session for the simulated unit.
void programmerSession(Session &session);
// Opens link on the simulator's pseudo-terminal at one framing and baud rate (N,8,1);
// false, with the reason on standard error, when the port does not open.
bool openOnSim(ModbusLink &link, const SimProcess &sim, int framing, int baud);
