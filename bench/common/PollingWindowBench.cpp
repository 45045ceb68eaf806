#include "PollingWindowBench.h"

#include "BenchSupport.h"
#include "Clock.h"
#include "GuardedWindow.h"
#include "ModbusLink.h"
#include "PollCycle.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

PollingRun runPollingWindow(GuardedWindow &window, PollCycle &poll, int seconds, bool probeLoop,
                            const std::function<void()> &beforeClose)
{
    PollingRun run;
    QElapsedTimer clock;
    EventLoopProbe probe;
    run.polls = 1;
    const QMetaObject::Connection ticks =
        QObject::connect(&poll.timer(), &ClockTimer::timeout, [&] { ++run.polls; });
    QTimer::singleShot(seconds * 1000, &window, [&] {
        if (beforeClose)
            beforeClose();
        window.requestClose();
    });
    const double cpuStart = cpuSeconds();
    clock.start();
    if (probeLoop)
        probe.start();
    window.show();
    window.exec();
    run.elapsed = double(clock.nsecsElapsed()) / 1e9;
    run.cpu = cpuSeconds() - cpuStart;
    run.longestGapMs = probeLoop ? probe.longestGapMs() : 0.0;
    QObject::disconnect(ticks);
    return run;
}

SimulatedLineAt9600::SimulatedLineAt9600()
    : m_simulator({QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--pace"), QStringLiteral("on")}),
      m_link(&m_serial, &m_session)
{
    m_session.setDeviceModel(QStringLiteral("Ostrel"));
}

bool SimulatedLineAt9600::open()
{
    const QString path = m_simulator.path();
    if (path.isEmpty()) {
        std::fprintf(stderr, "tarvine-sim did not start\n");
        return false;
    }
    CommSettings settings;
    settings.port = path;
    m_link.setSettings(settings);
    QString error;
    if (!m_link.openPort(&error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(error));
        return false;
    }
    return true;
}
