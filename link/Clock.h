#pragma once

#include <QObject>
#include <QTimer>
#include <QtGlobal>

#include <vector>

class ClockTimer;
class QSocketNotifier;

// Time as the program reads it for countdowns, time-outs and deadlines. The real
// clock is monotonic (so a deadline holds across midnight and clock changes); tests
// install a ManualClock and advance it, which also fires the ClockTimers due.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0;
    // The same time in microseconds, for line timing shorter than a millisecond.
    virtual qint64 nowUs() const = 0;

    static Clock &instance();
    // Installs c (not owned); nullptr restores the real clock.
    static void install(Clock *c);

protected:
    friend class ClockTimer;
    // A clock that drives timers itself returns true and keeps track of them.
    virtual bool drivesTimers() const { return false; }
    virtual void timerStarted(ClockTimer *) {}
    virtual void timerStopped(ClockTimer *) {}
};

// A clock that stands still until advanced.
class ManualClock final : public Clock {
public:
    qint64 nowMs() const override { return m_nowUs / 1000; }
    qint64 nowUs() const override { return m_nowUs; }
    // Moves time forward by ms, firing every timer that falls due, in time order.
    void advance(qint64 ms) { advanceUs(ms * 1000); }
    void advanceUs(qint64 us);

protected:
    bool drivesTimers() const override { return true; }
    void timerStarted(ClockTimer *t) override;
    void timerStopped(ClockTimer *t) override;

private:
    qint64 m_nowUs = 1'000'000'000;
    std::vector<ClockTimer *> m_timers;
};

// A timer with QTimer's interface whose time comes from the Clock in use.
// Unlike QTimer the interval must be set: it starts at 1000 ms. startUs() keeps a
// deadline to the microsecond (a silent interval of 1.75 ms must not become 2 ms):
// on the real clock the event loop then watches a kernel timer, never spinning.
class ClockTimer : public QObject {
    Q_OBJECT
public:
    explicit ClockTimer(QObject *parent = nullptr);
    ~ClockTimer() override;

    void setInterval(int ms) { m_interval = ms; }
    int interval() const { return m_interval; }
    void setSingleShot(bool on) { m_singleShot = on; }
    bool isSingleShot() const { return m_singleShot; }
    bool isActive() const { return m_active; }
    // Time of the next expiry on the clock that started the timer, in microseconds.
    qint64 deadlineUs() const { return m_deadlineUs; }

public slots:
    void start();
    void start(int ms);
    void startUs(qint64 us);
    void stop();
    // Enabled = start / stop, as the program's timers are usually switched.
    void setEnabled(bool on) { on ? start() : stop(); }

signals:
    void timeout();

private:
    friend class ManualClock;
    void fire();
    void onPreciseExpiry();

    QTimer m_timer;
    // The kernel timer behind startUs on the real clock, made on first use.
    int m_preciseFd = -1;
    QSocketNotifier *m_preciseNotifier = nullptr;
    qint64 m_intervalUs = 1'000'000;
    Clock *m_clock = nullptr;
    int m_interval = 1000;
    bool m_singleShot = false;
    bool m_active = false;
    qint64 m_deadlineUs = 0;
};
