#include "SimWindowTest.h"
#include "WidgetQuery.h"

#include "CommandArea.h"
#include "SimProcess.h"
#include "SimRegisters.h"
#include "SimTransmitter.h"
#include "WindowRegistry.h"
#include "frmAnalogOutputTest.h"
#include "frmDiagnostics.h"
#include "frmPulseOutputTest.h"
#include "frmSwitchedOutputTest.h"
#include "frmTubeDriveTest.h"

#include "Prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using Forces = QList<std::pair<int, bool>>;

// Coils the window forced, on or off, in the order they reached the transmitter
// (without the link's clearing of "Ready" after each command).
Forces forcesIn(const QList<WireRequest> &requests)
{
    Forces out;
    for (const WireRequest &r : requests)
        if (r.function == 5 && r.address != 83)
            out.append({r.address, r.count == 0xFF00});
    return out;
}

class OutputTests : public SimWindowTest {
protected:
    WindowContext context()
    {
        return {*link, session, nullptr, {}, {}, [this](QWidget *) { ++consoleOpenings; }};
    }
    int consoleOpenings = 0;

    // Closes a window as the Close button does and returns the coils it forced.
    Forces close(GuardedWindow &w)
    {
        takeRequests();
        w.requestClose();
        settle();
        return forcesIn(takeRequests());
    }
    // Lets the simulator's own timers run for a while.
    static void wait(int ms) { QTest::qWait(ms); }
};

TEST_F(OutputTests, LauncherOffersOnlyTheTestsTheModelHas)
{
    for (const auto &[model, outputsEnabled] : {std::pair{"Ostrel", true}, std::pair{"KRM410", false}}) {
        session.setDeviceModel(QString::fromLatin1(model));
        std::unique_ptr<QDialog> w(WindowRegistry::create(TfrmDiagnostics::Tag, context()));
        ASSERT_TRUE(w);
        open(w.get());
        EXPECT_EQ(control<QPushButton>(w.get(), "btnOutputs")->isEnabled(), outputsEnabled) << model;
        EXPECT_EQ(control<QPushButton>(w.get(), "btnAnalog")->isEnabled(), outputsEnabled) << model;
        EXPECT_TRUE(control<QPushButton>(w.get(), "btnPulseTest")->isEnabled());
        EXPECT_TRUE(control<QPushButton>(w.get(), "btnDriveTest")->isEnabled());
    }
    // Cancel on the pulse warning opens nothing: no pulse test coil reaches the unit.
    TfrmDiagnostics launcher(context(), TfrmDiagnostics::Tag);
    open(&launcher);
    takeRequests();
    prompter.answers = {Prompter::IdCancel};
    launcher.btnPulseTestClick();
    EXPECT_TRUE(prompter.shownWithTitle("Pulse Output Test Warning"));
    EXPECT_TRUE(takeRequests().isEmpty());

    // A double-click opens the test console for the first built-in account only.
    for (const auto &[user, opens] : {std::pair{"heron", false}, std::pair{"tern", true}}) {
        session.setUserName(QString::fromLatin1(user));
        consoleOpenings = 0;
        QTest::mouseDClick(&launcher, Qt::LeftButton, {}, QPoint(2, 2));
        settle();
        EXPECT_EQ(consoleOpenings, opens ? 1 : 0) << user;
    }
}

TEST_F(OutputTests, PulseTestSendsTheCountItFitsAndStopsOnClose)
{
    TfrmPulseOutputTest w(context());
    open(&w);
    // Activation stops the output: 0 Hz, one pulse, coil 29.
    EXPECT_EQ(textOf(&w, "txtFreq"), "0.000000");
    EXPECT_EQ(textOf(&w, "txtPulses"), "0");
    EXPECT_TRUE(device().pulseTestRunning());

    struct Case {
        const char *typed;
        const char *shown;
        uint16_t sent;
    };
    for (const Case &c : {Case{"1000", "1000", 0x03E8}, Case{"65535", "65535", 0xFFFF}, Case{"99999", "0", 0},
                          Case{"", "0", 0}}) {
        control<QLineEdit>(&w, "txtFreq")->setText("200");
        control<QLineEdit>(&w, "txtPulses")->setText(QString::fromLatin1(c.typed));
        w.btnStartClick();
        EXPECT_EQ(textOf(&w, "txtPulses"), c.shown) << c.typed;
        EXPECT_EQ(regs().reg(126), c.sent) << c.typed;
        EXPECT_EQ(regs().f64At(2 * 122), 200.0);
    }
    // The output runs at the asked frequency until the count has gone out.
    control<QLineEdit>(&w, "txtPulses")->setText("40");
    w.btnStartClick();
    EXPECT_FALSE(control<QPushButton>(&w, "btnStart")->isEnabled());
    EXPECT_EQ(regs().f64At(2 * sim::reg::Pulses), 200.0);
    wait(400);
    EXPECT_EQ(regs().f64At(2 * sim::reg::Pulses + 8), 40.0);
    EXPECT_EQ(regs().f64At(2 * sim::reg::Pulses), 0.0);
    EXPECT_FALSE(deviceCoil(TfrmPulseOutputTest::TestCoil));

    EXPECT_EQ(close(w), (Forces{{82, true}, {30, true}}));
    EXPECT_FALSE(device().pulseTestRunning());
}

TEST_F(OutputTests, TubeDriveTestShowsLiveDriveValuesAndEndsTheTest)
{
    TfrmTubeDriveTest w(context());
    takeRequests();
    open(&w);
    EXPECT_EQ(forcesIn(takeRequests()), (Forces{{82, true}, {72, false}, {31, false}, {31, true}}));
    EXPECT_TRUE(deviceCoil(TfrmTubeDriveTest::TestCoil));
    EXPECT_NEAR(numberOf(&w, "txtCurrent"), 8.4, 0.06);
    EXPECT_NEAR(numberOf(&w, "txtSensorA"), 100.0, 1.5);
    EXPECT_NEAR(numberOf(&w, "txtSensorB"), 100.0, 1.5);
    EXPECT_NEAR(numberOf(&w, "txtDriveEff"), 100.0 / 8.4, 0.3);

    EXPECT_EQ(close(w), (Forces{{82, true}, {72, false}, {31, false}}));
    EXPECT_FALSE(deviceCoil(TfrmTubeDriveTest::TestCoil));
}

// Abort (82) also stops a running well test: the drive test (opening and closing)
// and the pulse test (closing) ask first, and keeping the test sends no Abort.
TEST_F(OutputTests, AbortAsksFirstWhileAWellTestRuns)
{
    const std::function<std::unique_ptr<OutputTestWindow>(const WindowContext &)> windows[] = {
        [](const WindowContext &c) { return std::make_unique<TfrmTubeDriveTest>(c); },
        [](const WindowContext &c) { return std::make_unique<TfrmPulseOutputTest>(c); },
    };
    for (const auto &make : windows) {
        for (const bool keep : {true, false}) {
            if (!deviceCoil(OutputTestWindow::WellTestCoil)) {
                ASSERT_TRUE(link->Force_Coil(OutputTestWindow::WellTestCoil, 0xFF00));
            }
            prompter.messages.clear();
            const int answer = keep ? Prompter::IdYes : Prompter::IdNo;
            prompter.answers = {answer, answer};
            takeRequests();
            auto w = make(context());
            open(w.get());
            Forces forced = forcesIn(takeRequests()) + close(*w);
            EXPECT_TRUE(prompter.shown(OutputTestWindow::WellTestQuestion)) << w->windowTitle().toStdString();
            EXPECT_EQ(forced.contains({OutputTestWindow::AbortCoil, true}), !keep);
            EXPECT_EQ(deviceCoil(OutputTestWindow::WellTestCoil), keep);
        }
    }
}

TEST(DriveEfficiency, IsMeanAmplitudeOverCurrentAndZeroWithoutCurrent)
{
    EXPECT_DOUBLE_EQ(TfrmTubeDriveTest::driveEfficiency(100.0, 80.0, 9.0), 10.0);
    EXPECT_DOUBLE_EQ(TfrmTubeDriveTest::driveEfficiency(100.0, 80.0, 0.0), 0.0);
    EXPECT_EQ(QString::asprintf("%-5.2f", TfrmTubeDriveTest::driveEfficiency(5, 5, 0)).trimmed(), "0.00");
}

TEST_F(OutputTests, SwitchedOutputsLatchOnlyWhenTheTransmitterTakesTheCoil)
{
    TfrmSwitchedOutputTest w(context());
    open(&w);
    EXPECT_TRUE(prompter.shownWithTitle("Switched Output Test via Tarvine"));
    auto *alarm1 = control<QPushButton>(&w, "btnAlarm1");
    auto *alarm2 = control<QPushButton>(&w, "btnAlarm2");

    alarm1->click();
    EXPECT_EQ(alarm1->text(), "Unlatch Alarm #1");
    EXPECT_TRUE(w.latched(0));
    EXPECT_TRUE(deviceCoil(21));
    // A latched button blinks between two glyphs.
    const qint64 before = alarm1->icon().cacheKey();
    wait(600);
    EXPECT_NE(alarm1->icon().cacheKey(), before);

    // A refused latch leaves the caption and state as they were.
    simulator->transmitter()->setFaults([] { sim::Faults f; f.stuckBusyCoil = 23; return f; }());
    alarm2->click();
    EXPECT_EQ(alarm2->text(), "Alarm &2");
    EXPECT_FALSE(w.latched(1));
    simulator->transmitter()->setFaults({});

    alarm1->click();
    EXPECT_EQ(alarm1->text(), "Latch Alarm #1");
    EXPECT_FALSE(deviceCoil(21));

    alarm1->click();
    EXPECT_EQ(close(w), (Forces{{22, true}, {24, true}, {26, true}, {28, true}}));
    EXPECT_FALSE(deviceCoil(21));
    EXPECT_EQ(prompter.messages.last().title, "Terminate Switched Output Test");
}

TEST_F(OutputTests, AnalogTestHoldsCurrentsAgainstTheProcessUntilStopped)
{
    TfrmAnalogOutputTest w(context());
    open(&w);
    EXPECT_TRUE(control<QCheckBox>(&w, "chkOutput4")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(&w, "btnStart")->isEnabled());

    control<QCheckBox>(&w, "chkOutput1")->setChecked(true);
    control<QCheckBox>(&w, "chkOutput4")->setChecked(true);
    control<QLineEdit>(&w, "txtCurrent1")->setText("12.5");
    control<QLineEdit>(&w, "txtCurrent2")->setText("8");  // not checked: stays with the process
    control<QLineEdit>(&w, "txtCurrent4")->setText("20");
    emit control<QLineEdit>(&w, "txtCurrent4")->textEdited("20");
    ASSERT_TRUE(control<QPushButton>(&w, "btnStart")->isEnabled());
    takeRequests();
    w.btnStartClick();
    EXPECT_EQ(forcedOn(takeRequests()), (QList<int>{15, 17}));
    EXPECT_TRUE(w.running(0) && !w.running(1) && w.running(2));
    simulator->process()->step(0.25);
    EXPECT_EQ(regs().f64At(2 * sim::reg::Cfg420Out[0] + 24), 12.5);
    EXPECT_EQ(regs().f64At(2 * sim::reg::Cfg420Out[2] + 24), 20.0);
    EXPECT_NE(regs().f64At(2 * sim::reg::Cfg420Out[1] + 24), 8.0);

    // Editing a current while the test runs stops every output first.
    control<QLineEdit>(&w, "txtCurrent1")->setText("4");
    emit control<QLineEdit>(&w, "txtCurrent1")->textEdited("4");
    EXPECT_EQ(forcesIn(takeRequests()),
              (Forces{{81, false}, {18, true}, {81, false}, {19, true}, {81, false}, {20, true}}));
    EXPECT_FALSE(w.running(0) || w.running(2));
    EXPECT_FALSE(device().forcedCurrent(0) || device().forcedCurrent(2));

    // An entry that is not a number is cleared and not sent.
    control<QLineEdit>(&w, "txtCurrent1")->setText("abc");
    w.btnStartClick();
    EXPECT_EQ(textOf(&w, "txtCurrent1"), "");
    EXPECT_EQ(forcedOn(takeRequests()), (QList<int>{17}));

    // Unticking an output under test gives it back to the process at once.
    control<QCheckBox>(&w, "chkOutput4")->click();
    EXPECT_EQ(forcesIn(takeRequests()), (Forces{{81, false}, {20, true}}));
    EXPECT_FALSE(w.running(2) || device().forcedCurrent(2));

    EXPECT_EQ(close(w), (Forces{{18, true}, {19, true}, {20, true}, {18, false}, {19, false}, {20, false}}));
    EXPECT_FALSE(device().forcedCurrent(2));
}

} // namespace
