#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

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
