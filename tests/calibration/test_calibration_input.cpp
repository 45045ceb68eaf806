// What the technician's own input does in the calibration windows: typing over a
// field, placeholders that are not entries, and one step at a time. Every field is
// driven with real keystrokes and every button with real clicks.
#include "CalibrationTest.h"
#include "WidgetQuery.h"

#include "EscapeFilter.h"
#include "Session.h"
#include "frmAnalogCalibration.h"
#include "frmDensityCalibration.h"
#include "frmMassCalibration.h"
#include "frmSensorCalibration.h"
#include "frmTempCalibration.h"
#include "frmZeroCalibration.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class CalibrationInput : public CalibrationTest {
public:
    // A click where a user clicks: on a radio button's indicator, not in the empty
    // part of a row it stretches across.
    static QPoint clickPoint(QAbstractButton *b)
    {
        return qobject_cast<QPushButton *>(b) ? b->rect().center() : QPoint(6, b->height() / 2);
    }
    void clickReally(const char *name)
    {
        auto *b = control<QAbstractButton>(target(), name);
        QTest::mouseClick(b, Qt::LeftButton, {}, clickPoint(b));
        settle();
    }
    void press(Qt::Key key)
    {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : target(), key);
        settle();
    }
    bool said(const char *text) const { return prompts.contains(QString::fromLatin1(text)); }

    // Every input of the window tried as a technician would: names those that reacted.
    static QStringList inputsThatReact(QWidget *window)
    {
        QStringList live;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isEnabled() || !w->isVisible())
                continue;
            const QString name = w->objectName();
            if (auto *b = qobject_cast<QAbstractButton *>(w)) {
                QSignalSpy clicked(b, &QAbstractButton::clicked);
                QTest::mouseDClick(b, Qt::LeftButton, {}, clickPoint(b));
                QTest::mouseClick(b, Qt::LeftButton, {}, clickPoint(b));
                if (!clicked.isEmpty())
                    live << name;
            } else if (auto *c = qobject_cast<QComboBox *>(w)) {
                QSignalSpy activated(c, &QComboBox::activated);
                QTest::keyClick(c, Qt::Key_Down);
                if (!activated.isEmpty())
                    live << name;
            } else if (auto *e = qobject_cast<QLineEdit *>(w); e && !e->isReadOnly()) {
                const QString before = e->text();
                QTest::keyClicks(e, QStringLiteral("7"));
                if (e->text() != before)
                    live << name;
            }
        }
        return live;
    }
};

// Emptying a field and typing a number gives that number, in every window: the
// "0.0" that stands in for the empty field is replaced by the first keystroke.
TEST_F(CalibrationInput, EmptiedFieldTakesWhatIsTypedNext)
{
    struct Case {
        const char *name;
        std::function<QWidget *(CalibrationTest &)> open;
        const char *method;
        const char *field;
    };
    const Case cases[] = {
        {"zero", opener<TfrmZeroCalibration>(), "rbManual", "txtZeroValue"},
        {"mass", opener<TfrmMassCalibration>(), "rbManual", "txtMassScalar"},
        {"temperature", opener<TfrmTempCalibration>(), "rbManual", "txtRTDResOff"},
        {"density", opener<TfrmDensityCalibration>(), "rbManual", "txtC1"},
        {"analog", opener<TfrmAnalogCalibration>(), "rbManual", "txtGain"},
        {"sensor", opener<TfrmSensorCalibration>(), nullptr, "txtSensorErrorDelay"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget *w = c.open(*this);
        if (c.method)
            clickReally(c.method);
        type(c.field, QString());
        EXPECT_EQ(textOf(w, c.field), QStringLiteral("0.0"));
        QTest::keyClicks(control<QLineEdit>(w, c.field), QStringLiteral("12"));
        EXPECT_EQ(textOf(w, c.field), QStringLiteral("12"));
        press(Qt::Key_Return);
        EXPECT_EQ(numberOf(w, c.field), 12.0);
        EXPECT_FALSE(said("Manual Cal Complete")) << "Return moves on; it is not Apply";
        closeWindows();
    }
}

// Apply refuses what nobody typed: a placeholder, a value shown before, a value the
// transmitter cannot take; the transmitter's calibration stays as it was.
TEST_F(CalibrationInput, ApplyRefusesAPlaceholder)
{
    struct Case {
        const char *name;
        int firstReg, bytes;  // the calibration that must stay
        std::function<void(CalibrationInput &)> attempt;
    };
    const Case cases[] = {
        {"density auto, red 0.0000 passed by", 2328, 16,
         [](CalibrationInput &t) {
             t.openAs<TfrmDensityCalibration>();
             t.clickReally("rbAuto");
             t.clickReally("btnApply");  // stabilizes; the focus is on the air frequency
             for (int i = 0; i < 3; ++i)
                 t.press(Qt::Key_Tab);
             t.clickReally("btnApply");
             t.press(Qt::Key_Return);
             for (const char *typed : {"0", "-1"}) {
                 t.enter("txtActualDensity", QString::fromLatin1(typed));
                 t.clickReally("btnApply");
             }
         }},
        {"analog auto, low reading untouched", 881, 16,
         [](CalibrationInput &t) {
             t.openAs<TfrmAnalogCalibration>();
             t.clickReally("rbAuto");
             t.press(Qt::Key_Tab);
             t.type("txtHiAmps", QStringLiteral("19.2"));
             t.press(Qt::Key_Tab);
             t.clickReally("btnApply");
         }},
        {"analog auto, readings far from the driven current", 881, 16,
         [](CalibrationInput &t) {
             t.openAs<TfrmAnalogCalibration>();
             t.clickReally("rbAuto");
             t.enter("txtLoAmps", QStringLiteral("0"));
             EXPECT_EQ(t.prompts.last(), QStringLiteral("Invalid Low Amps, old value restored!"));
             t.press(Qt::Key_Tab);
             EXPECT_EQ(t.prompts.last(), QStringLiteral("Invalid Low Amps, old value restored!"))
                 << "the notice stays until the next keystroke";
             t.enter("txtLoAmps", QStringLiteral("4.1"));
             t.enter("txtHiAmps", QStringLiteral("3.9"));
             t.clickReally("btnApply");
         }},
        {"analog manual, gain not positive", 881, 16,
         [](CalibrationInput &t) {
             t.openAs<TfrmAnalogCalibration>();
             for (const char *gain : {"0", "-1"}) {
                 t.clickReally("rbManual");
                 t.enter("txtGain", QString::fromLatin1(gain));
                 t.clickReally("btnApply");
             }
         }},
        {"temperature auto, the transmitter's own reading", 2356, 8,
         [](CalibrationInput &t) {
             t.openAs<TfrmTempCalibration>();
             t.clickReally("rbAuto");
             t.clickReally("btnApply");
             t.press(Qt::Key_Tab);
             t.clickReally("btnApply");
             t.clickReally("rbManual");  // puts the offset back
         }},
        {"mass manual, nothing typed", 2292, 8,
         [](CalibrationInput &t) {
             t.openAs<TfrmMassCalibration>();
             t.clickReally("rbManual");
             t.clickReally("btnApply");
         }},
        {"zero manual, nothing typed", 2296, 24,
         [](CalibrationInput &t) {
             t.openAs<TfrmZeroCalibration>();
             t.clickReally("rbManual");
             t.clickReally("btnApply");
         }},
        {"sensor, only the error delay typed", 508, 32,
         [](CalibrationInput &t) {
             t.openAs<TfrmSensorCalibration>();
             t.enter("txtSensorErrorDelay", QStringLiteral("5"));
             t.clickReally("btnApply");
             EXPECT_EQ(t.regs().f64At(2 * 1012), 5.0);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prompts.clear();
        regs().setF64At(2 * 2356, 7.0);
        regs().setU16At(2 * 510, 13306);  // a sensor set point shown rounded to 2 decimals
        regs().setU16At(2 * 512, 10);
        const QByteArray before = regs().read(c.firstReg, c.bytes);
        c.attempt(*this);
        EXPECT_EQ(regs().read(c.firstReg, c.bytes), before);
        EXPECT_FALSE(said("Auto Cal Complete") || said("Manual Cal Complete"));
        closeWindows();
    }
}

// While a step or a request is in progress, no input of the window acts but
// Escape, which stops the step.
TEST_F(CalibrationInput, AStepInProgressLocksEveryInputButEscape)
{
    struct Case {
        const char *name;
        std::function<QWidget *(CalibrationTest &)> open;
        // Gets the window to the point where Apply starts a step or a request.
        std::function<void(CalibrationInput &)> prepare;
        // The status that says the step runs; empty: try the inputs inside Apply's first request.
        QString running;
        // Escape ends the step with the abort.
        bool escapeAborts = true;
    };
    const Case cases[] = {
        {"zero", opener<TfrmZeroCalibration>(),
         [](CalibrationInput &t) {
             t.clickReally("rbAuto");
             t.enter("txtIntervals", QStringLiteral("2"));
         },
         QStringLiteral("Zero in... 01")},
        {"temperature", opener<TfrmTempCalibration>(),
         [](CalibrationInput &t) { t.clickReally("rbAuto"); }, QStringLiteral("Temperature Stabilizing")},
        {"density", opener<TfrmDensityCalibration>(),
         [](CalibrationInput &t) { t.clickReally("rbAuto"); }, QStringLiteral("Density Stabilizing")},
        {"mass", opener<TfrmMassCalibration>(),
         [](CalibrationInput &t) { t.clickReally("rbAuto"); }, QStringLiteral("Waiting for flow")},
        {"analog", opener<TfrmAnalogCalibration>(),
         [](CalibrationInput &t) {
             t.clickReally("rbAuto");
             t.enter("txtLoAmps", QStringLiteral("4.1"));
             t.enter("txtHiAmps", QStringLiteral("19.2"));
         },
         QString(), false},
        {"sensor", opener<TfrmSensorCalibration>(),
         [](CalibrationInput &t) { t.enter("txtGainControl", QStringLiteral("20")); }, QString(), false},
    };
    EscapeFilter escape(session);
    qApp->installEventFilter(&escape);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prompts.clear();
        QWidget *w = c.open(*this);
        c.prepare(*this);
        QStringList live{QStringLiteral("never tried")};
        const auto tryEverything = [&] {
            live = inputsThatReact(w);
            if (c.escapeAborts)
                QTest::keyClick(w, Qt::Key_Escape);
        };
        const bool runsBetweenTicks = c.name == std::string("mass");
        if (c.running.isEmpty())
            QTimer::singleShot(0, w, tryEverything);
        else if (!runsBetweenTicks)
            onStatus(c.running, tryEverything);
        clickReally("btnApply");
        if (runsBetweenTicks) {
            ASSERT_TRUE(prompts.last().startsWith(c.running));
            tryEverything();
        }
        runFor(2000);
        EXPECT_EQ(live, QStringList());
        EXPECT_EQ(said("Calibration aborted!"), c.escapeAborts);
        closeWindows();
    }
}

// An Escape that closed a popup or a message box was for that popup or box: the
// calibration chosen before goes on.
TEST_F(CalibrationInput, EscapeThatClosedAPopupAbortsNothing)
{
    EscapeFilter escape(session);
    qApp->installEventFilter(&escape);
    openAs<TfrmZeroCalibration>();
    clickReally("rbAuto");
    auto *combo = control<QComboBox>(window.get(), "cboZero");
    combo->showPopup();
    settle();
    ASSERT_TRUE(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    runFor(2500);
    EXPECT_FALSE(said("Calibration aborted!"));
    EXPECT_FALSE(forcedOn(takeRequests()).contains(CalibrationWindow::AbortCoil));
    enter("txtIntervals", QStringLiteral("1"));
    clickReally("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Auto Cal Complete"));
}

// Below Programmer level the windows say so before anything reaches the transmitter.
TEST_F(CalibrationInput, BelowProgrammerLevelNothingIsForced)
{
    session.setAccessLevel(Session::Viewer);
    for (const auto &open : {std::function<void()>([this] { openAs<TfrmMassCalibration>(); }),
                             std::function<void()>([this] { openAs<TfrmZeroCalibration>(); })}) {
        open();
        prompter.messages.clear();
        takeRequests();
        clickReally("rbAuto");
        clickReally("btnApply");
        EXPECT_EQ(forcedOn(takeRequests()), QList<int>());
        EXPECT_TRUE(prompter.lastText().startsWith(QStringLiteral("Your user level does not allow calibration")));
        EXPECT_FALSE(said("Calibration aborted!"));
        EXPECT_FALSE(control<QAbstractButton>(window.get(), "rbAuto")->isChecked());
        closeWindows();
    }
}
