#include "CalibrationTest.h"

#include "WidgetQuery.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

void CalibrationTest::SetUp()
{
    Clock::install(&clock);
    SimWindowTest::SetUp();
    driver.setInterval(0);
    QObject::connect(&driver, &QTimer::timeout, [this] { clock.advance(10); });
    driver.start();
}

void CalibrationTest::TearDown()
{
    closeWindows();
    driver.stop();
    SimWindowTest::TearDown();
    Clock::install(nullptr);
}

void CalibrationTest::closeWindows()
{
    for (GuardedWindow *w : {static_cast<GuardedWindow *>(window.get()), other.get()}) {
        if (w && !w->finished()) {
            w->requestClose();
            settle();
        }
    }
    window.reset();
    other.reset();
}

WindowContext CalibrationTest::context()
{
    return WindowContext{*link, session, nullptr, [](const QString &) {}, [] {}, [this](QWidget *) { ++consoleOpenings; }};
}

void CalibrationTest::onStatus(const QString &prefix, std::function<void()> f)
{
    auto once = std::make_shared<bool>(false);
    QObject::connect(window.get(), &CalibrationWindow::statusShown, window.get(),
                     [prefix, f, once](const QString &t) {
                         if (!*once && t.startsWith(prefix)) {
                             *once = true;
                             f();
                         }
                     });
}

void CalibrationTest::runFor(qint64 ms)
{
    const qint64 end = clock.nowMs() + ms;
    while (clock.nowMs() < end)
        QCoreApplication::processEvents();
}

void CalibrationTest::click(const char *name)
{
    if (auto *b = control<QAbstractButton>(target(), name))
        b->click();
    settle();
}

void CalibrationTest::activate(QWidget *w)
{
    QApplication::setActiveWindow(w);
    settle();
}

void CalibrationTest::type(const char *name, const QString &text)
{
    auto *e = control<QLineEdit>(target(), name);
    if (!e)
        return;
    e->setFocus(Qt::TabFocusReason);
    settle();
    // Over what the field shows, as a technician does: select it all, then type.
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(e, Qt::Key_Backspace);
    else
        QTest::keyClicks(e, text);
    settle();
}

void CalibrationTest::enter(const char *name, const QString &text)
{
    type(name, text);
    if (auto *e = control<QLineEdit>(target(), name))
        e->clearFocus();
    settle();
}

QString CalibrationTest::glyph()
{
    return control<QAbstractButton>(window.get(), "btnApply")->property("glyph").toString();
}

QStringList CalibrationTest::promptsFrom(const QString &first) const
{
    const qsizetype i = prompts.lastIndexOf(first);
    return i < 0 ? QStringList() : prompts.mid(i);
}
