#include "BenchSupport.h"

#include "ModbusLink.h"
#include "Session.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double wireSeconds(qint64 characters, int baud)
{
    return double(characters) * 10.0 / baud;
}

Stopwatch::Stopwatch()
    : m_cpuStart(cpuSeconds())
{
    m_timer.start();
}

double Stopwatch::elapsed() const
{
    return double(m_timer.nsecsElapsed()) / 1e9;
}

double Stopwatch::cpu() const
{
    return cpuSeconds() - m_cpuStart;
}

SimProcess::SimProcess(const QStringList &arguments)
{
    m_process.setProgram(QStringLiteral(TARVINE_SIM_PATH));
    m_process.setArguments(arguments);
    m_process.start();
    // The simulator's first line names its pseudo-terminal.
    if (m_process.waitForReadyRead(5000))
        m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

SimProcess::~SimProcess()
{
    m_process.terminate();
    m_process.waitForFinished(5000);
}

QStringList SimProcess::lineArguments(int framing, int baud)
{
    return {QStringLiteral("--framing"), framing ? QStringLiteral("rtu") : QStringLiteral("ascii"),
            QStringLiteral("--baud"), QString::number(baud)};
}

EventLoopProbe::EventLoopProbe()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 gap = now - m_lastTick;
        if (gap > 1'000'000)
            m_gaps << gap;
        if (gap > m_longestGap) {
            m_longestGap = gap;
            m_longestGapAt = m_lastTick;
        }
        m_lastTick = now;
    });
}

void EventLoopProbe::start()
{
    m_clock.start();
    m_lastTick = m_longestGap = m_longestGapAt = 0;
    m_gaps.clear();
    m_timer.start();
}

int EventLoopProbe::gapsOver(int ms) const
{
    return int(std::count_if(m_gaps.begin(), m_gaps.end(), [ms](qint64 gap) { return gap > qint64(ms) * 1'000'000; }));
}

void programmerSession(Session &session)
{
    session.setLoggedIn(true);
    session.setAccessLevel(Session::Programmer);
    session.setDeviceModel(QStringLiteral("Ostrel"));
}

bool openOnSim(ModbusLink &link, const SimProcess &sim, int framing, int baud)
{
    if (sim.path().isEmpty()) {
        std::fprintf(stderr, "tarvine-sim did not start\n");
        return false;
    }
    CommSettings s;
    s.port = sim.path();
    s.settings = QStringLiteral("%1,N,8,1").arg(baud);
    s.framing = framing;
    link.setSettings(s);
    QString error;
    if (!link.openPort(&error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(sim.path()), qPrintable(error));
        return false;
    }
    return true;
}
