#pragma once

#include "SimWindowTest.h"

#include "CalibrationWindow.h"
#include "Clock.h"
#include "WindowRegistry.h"

#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <ostream>
#include <type_traits>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// A calibration window on the in-process simulated transmitter, with time on a
// manual clock that the event loop advances, so timed steps run in simulated
// time. Records every status text and every opening of the test console.
class CalibrationTest : public SimWindowTest {
public:
    using SimWindowTest::device;
    using SimWindowTest::link;
    using SimWindowTest::regs;
    using SimWindowTest::session;

    void SetUp() override;
    void TearDown() override;

    WindowContext context();
    // Creates, shows and activates the window. A calibration window's status texts
    // go to prompts; another window (no Manual/Auto pattern) becomes the target.
    template <typename W>
    W *openAs()
    {
        auto *w = new W(context());
        if constexpr (std::is_base_of_v<CalibrationWindow, W>) {
            window.reset(w);
            QObject::connect(w, &CalibrationWindow::statusShown, [this](const QString &t) { prompts.append(t); });
        } else {
            other.reset(w);
        }
        open(w);
        activate(w);
        return w;
    }
    // The opening as a table entry.
    template <typename W>
    static std::function<QWidget *(CalibrationTest &)> opener()
    {
        return [](CalibrationTest &t) -> QWidget * { return t.openAs<W>(); };
    }
    // Closes whichever window is open, as the program would, and forgets it.
    void closeWindows();
    // Runs f the first time a status text starts with prefix (inside a wait).
    void onStatus(const QString &prefix, std::function<void()> f);
    // Lets the window's timer tick for ms of simulated time.
    void runFor(qint64 ms);
    // Clicks a control by name.
    void click(const char *name);
    // Makes the window the active one, so focus and keys reach its fields.
    static void activate(QWidget *w);
    // Focuses a field and types over its text with real keystrokes.
    void type(const char *name, const QString &text);
    // Types into a field and leaves it, as a user does.
    void enter(const char *name, const QString &text);
    QString glyph();
    // Prompts from the first one equal to first, in order.
    QStringList promptsFrom(const QString &first) const;
    QWidget *target() { return other ? static_cast<QWidget *>(other.get()) : window.get(); }

    ManualClock clock;
    QTimer driver;
    std::unique_ptr<CalibrationWindow> window;
    std::unique_ptr<GuardedWindow> other;
    QStringList prompts;
    int consoleOpenings = 0;
};
