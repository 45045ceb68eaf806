// The calibration windows driven as a technician drives them, against the
// simulated transmitter on the manual clock.
#include "CalibrationTest.h"
#include "WidgetQuery.h"

#include "ByteOrder.h"
#include "frmAnalogCalibration.h"
#include "frmDensityCalibration.h"
#include "frmMassCalibration.h"
#include "frmSensorCalibration.h"
#include "frmTempCalibration.h"
#include "frmZeroCalibration.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QTest>

namespace {

// A calibration with a timed step: how to open the window and start the step.
struct TimedCalibration {
    const char *name;
    std::function<QWidget *(CalibrationTest &)> open;
    int coil;
    // Result registers the step writes when it finishes (and only then).
    int resultReg;
    // The status text shown while the step runs (a prefix).
    QString runningPrompt;
    // Changes a result before the step, so only a live link can put it back.
    bool writesBeforeStep = false;
    // What the status panel shows last after an abort.
    QStringList abortTail = {QStringLiteral("Calibration aborted!"), QStringLiteral("Select Manual or Auto Cal")};
    // Shown after the abort when the transmitter refuses the step (empty: nothing more).
    QString refusedStatus{};
};

}  // namespace

class CalibrationWindows : public CalibrationTest {
protected:
    static std::vector<TimedCalibration> timedCalibrations()
    {
        return {
            {.name = "zero", .open = opener<TfrmZeroCalibration>(), .coil = 1, .resultReg = 2296,
             .runningPrompt = QStringLiteral("Zero in... 1")},
            {.name = "mass", .open = opener<TfrmMassCalibration>(), .coil = 6, .resultReg = 2292,
             .runningPrompt = QStringLiteral("Waiting for flow"),
             .abortTail = {QStringLiteral("Calibration aborted!")}},
            {.name = "temperature", .open = opener<TfrmTempCalibration>(), .coil = 2, .resultReg = 2356,
             .runningPrompt = QStringLiteral("Temperature Stabilizing"), .writesBeforeStep = true},
            {.name = "density", .open = opener<TfrmDensityCalibration>(), .coil = 4, .resultReg = 2328,
             .runningPrompt = QStringLiteral("Density Stabilizing"),
             .refusedStatus = QStringLiteral("AutoCal Force Dens Stability Coil failed")},
        };
    }
};

TEST_F(CalibrationWindows, ZeroAutoCountsDownToTestPassAndShowsTheNewZero)
{
    openAs<TfrmZeroCalibration>();
    EXPECT_EQ(prompts.last(), QStringLiteral("Select Manual or Auto Cal"));
    click("rbAuto");
    const qint64 started = clock.nowMs();
    click("btnApply");
    const QStringList seen = promptsFrom(QStringLiteral("Enter # of Intervals and Zeroes"));
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen[1], QStringLiteral("Zero in... 120 seconds"));
    EXPECT_TRUE(seen.contains(QStringLiteral("Zero in... 060 seconds")));
    EXPECT_EQ(seen.last(), QStringLiteral("Auto Cal Complete"));
    EXPECT_GE(clock.nowMs() - started, 120'000);
    EXPECT_EQ(glyph(), QStringLiteral("TestPass"));
    EXPECT_FALSE(deviceCoil(1));
    // The transmitter's new zero, 0.001 rad, appears in degrees on the next tick.
    runFor(1500);
    EXPECT_EQ(textOf(window.get(), "txtZeroValue"), QStringLiteral("5.72958e-02"));
}

TEST_F(CalibrationWindows, ZeroDurationTakesTheLowBytesOfBothCounts)
{
    struct Case {
        int intervals, zeros, seconds;
    };
    for (const Case c : {Case{12, 1, 120}, Case{256, 1, 0}, Case{257, 2, 20}, Case{-1, 1, 2550}, Case{0, 5, 0}})
        EXPECT_EQ(TfrmZeroCalibration::zeroSeconds(c.intervals, c.zeros), c.seconds) << c.intervals << "x" << c.zeros;
}

// Every way a timed step can fail ends in the abort path, never in "Complete",
// and leaves the transmitter's results as they were.
TEST_F(CalibrationWindows, EveryFailedTimedStepAborts)
{
    struct Fault {
        const char *name;
        std::function<void(const TimedCalibration &)> arrange;
        bool linkAlive = true;
    };
    const Fault faults[] = {
        {"refused", [this](const TimedCalibration &c) { device().setStuckBusyCoil(c.coil); }},
        {"escape",
         [this](const TimedCalibration &c) {
             onStatus(c.runningPrompt, [this] {
                 EXPECT_FALSE(control<QAbstractButton>(window.get(), "btnApply")->isEnabled()) << "Apply while running";
                 session.setAbort(true);
             });
         }},
        {"transmitter aborts",
         [this](const TimedCalibration &c) { onStatus(c.runningPrompt, [this] { device().abortProcedures(); });
         }},
        {"port closes",
         [this](const TimedCalibration &c) { onStatus(c.runningPrompt, [this] { link->closePort(); });
         },
         false},
    };
    for (const TimedCalibration &c : timedCalibrations()) {
        for (const Fault &f : faults) {
            SCOPED_TRACE(std::string(c.name) + ", " + f.name);
            prompts.clear();
            regs().setF64At(2 * c.resultReg, 0.5);
            c.open(*this);
            // Faults that strike mid-step hook the window once it is open.
            click("rbAuto");
            f.arrange(c);
            takeRequests();
            click("btnApply");
            runFor(3000);  // runs that the window follows on its timer
            EXPECT_FALSE(prompts.contains(QStringLiteral("Auto Cal Complete")));
            QStringList tail = c.abortTail;
            if (f.name == std::string("refused") && !c.refusedStatus.isEmpty())
                tail.append(c.refusedStatus);
            EXPECT_EQ(promptsFrom(QStringLiteral("Calibration aborted!")), tail);
            EXPECT_NE(glyph(), QStringLiteral("TestPass"));
            if (f.linkAlive || !c.writesBeforeStep) {
                EXPECT_EQ(regs().f64At(2 * c.resultReg), 0.5) << "no result may be written, or it is put back";
            }
            if (f.linkAlive) {
                EXPECT_TRUE(forcedOn(takeRequests()).contains(CalibrationWindow::AbortCoil));
                EXPECT_FALSE(deviceCoil(c.coil));
            }
            EXPECT_FALSE(session.abortRequested());
            closeWindows();
            device().setStuckBusyCoil(-1);
            if (!f.linkAlive) {
                ASSERT_TRUE(link->openPort());
            }
        }
    }
}

TEST_F(CalibrationWindows, ZeroOverrunTimesOutThreeSecondsAfterTheExpectedEnd)
{
    openAs<TfrmZeroCalibration>();
    device().setOverrunCoil(1);
    click("rbAuto");
    enter("txtIntervals", QStringLiteral("256"));  // D = 0
    const qint64 started = clock.nowMs();
    click("btnApply");
    const qint64 waited = clock.nowMs() - started;
    EXPECT_GE(waited, 3000);
    EXPECT_LT(waited, 4500);
    ASSERT_TRUE(prompter.shownWithTitle(QStringLiteral("Zero Timeout!")));
    EXPECT_EQ(prompter.messages.first().text,
              QStringLiteral("Process timed out,\rOstrel preempted the Zero.\r\rPlease try again."));
    EXPECT_EQ(prompts.last(), QStringLiteral("Select Manual or Auto Cal"));
    EXPECT_FALSE(deviceCoil(1)) << "the window forces the overrunning coil off";
}

TEST_F(CalibrationWindows, CloseDuringAWaitTakesEffectWhenTheWaitEnds)
{
    openAs<TfrmZeroCalibration>();
    click("rbAuto");
    enter("txtIntervals", QStringLiteral("2"));
    onStatus(QStringLiteral("Zero in... 015"), [this] {
        window->requestClose();
        EXPECT_FALSE(window->finished());
    });
    click("btnApply");
    EXPECT_TRUE(window->finished());
    EXPECT_TRUE(prompts.contains(QStringLiteral("Auto Cal Complete")));
    EXPECT_FALSE(deviceCoil(1));
    EXPECT_FALSE(deviceCoil(CalibrationWindow::AbortCoil));
}

TEST_F(CalibrationWindows, ZeroManualWritesRadiansToTheChosenZero)
{
    const double systemZero = regs().f64At(2 * 2296);
    openAs<TfrmZeroCalibration>();
    pick(control<QComboBox>(window.get(), "cboZero"), QStringLiteral("Electronics"));
    click("rbManual");
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter Zero Value and STD Dev"));
    enter("txtZeroValue", QStringLiteral("5.72958e-02"));
    EXPECT_EQ(prompts.last(), QStringLiteral("Press Apply to update"));
    enter("txtStdDev", QStringLiteral("abc"));
    EXPECT_EQ(prompts.last(), QStringLiteral("Invalid Std Dev, old value restored!"));
    enter("txtStdDev", QStringLiteral("1.14592e-03"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Manual Cal Complete"));
    EXPECT_EQ(glyph(), QStringLiteral("TestPass"));
    EXPECT_NEAR(regs().f64At(2 * 2300), 0.001, 1e-8);
    EXPECT_NEAR(regs().f64At(2 * 2312), 0.00002, 1e-10);
    EXPECT_EQ(regs().f64At(2 * 2296), systemZero) << "the system zero is untouched";
}

TEST_F(CalibrationWindows, DoubleClickOpensTheConsoleOnlyForTheFirstBuiltInAccount)
{
    for (const auto &[user, openings] : {std::pair{"heron", 0}, std::pair{"tern", 1}}) {
        session.setUserName(QString::fromLatin1(user));
        consoleOpenings = 0;
        openAs<TfrmZeroCalibration>();
        QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(2, 2));
        runFor(1500);
        EXPECT_EQ(consoleOpenings, openings) << user;
        closeWindows();
    }
}

TEST_F(CalibrationWindows, MassScalarFromARun)
{
    struct Case {
        double actual, measured;
        std::optional<double> scalar;
    };
    for (const Case c : {Case{101.0, 100.0, 1.01}, Case{101.0, -100.0, 1.01}, Case{101.0, 0.0, std::nullopt},
                         Case{0.0, 100.0, std::nullopt}})
        EXPECT_EQ(TfrmMassCalibration::scalarFromRun(c.actual, c.measured), c.scalar) << c.actual << "/" << c.measured;
}

TEST_F(CalibrationWindows, MassDumpRunGivesTheScalarWithPromptsInOrder)
{
    openAs<TfrmMassCalibration>();
    EXPECT_TRUE(prompter.shownWithTitle(QStringLiteral("Mass Calibration via Tarvine")));
    click("rbAuto");
    click("btnApply");
    runFor(25'000);
    ASSERT_EQ(prompts.last(), QStringLiteral("Enter Actual Mass"));
    const double shown = numberOf(window.get(), "txtActualMass");
    enter("txtActualMass", QString::number(shown * 1.01, 'g', 12));
    click("btnApply");
    EXPECT_EQ(promptsFrom(QStringLiteral("Press Apply and wait for flow...")),
              QStringList({QStringLiteral("Press Apply and wait for flow..."), QStringLiteral("Waiting for flow..."),
                           QStringLiteral("Flow in progress..."), QStringLiteral("Enter Actual Mass, press Apply"),
                           QStringLiteral("Enter Actual Mass"), QStringLiteral("Mass Scalar calculated, press Apply"),
                           QStringLiteral("Auto Cal Complete")}))
        << promptsFrom(QStringLiteral("Press Apply and wait for flow...")).join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(regs().f64At(2 * 2292), 1.01, 1e-5);  // the actual mass was typed with the shown digits
    EXPECT_EQ(glyph(), QStringLiteral("TestPass"));
}

TEST_F(CalibrationWindows, MassBatchRunStaysOpenWhileRunningAndCloseRestoresTheBatchBlock)
{
    const QByteArray batchBefore = regs().read(550, 52);
    openAs<TfrmMassCalibration>();
    click("rbAuto");
    pick(control<QComboBox>(window.get(), "cboMethod"), QStringLiteral("Batch"));
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter Batch Size, Trickle Offset"));
    enter("txtBatchSize", QStringLiteral("10"));
    enter("txtTrickleOffset", QStringLiteral("1"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Waiting for flow, press START on unit"));
    EXPECT_EQ(regs().u8At(2 * 550), 6);
    EXPECT_TRUE(deviceCoil(7));
    window->close();
    settle();
    EXPECT_FALSE(window->finished());
    EXPECT_TRUE(prompter.shownWithTitle(QStringLiteral("Close Mass Cal")));
    runFor(30'000);
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter Actual Mass"));
    click("btnClose");
    EXPECT_TRUE(window->finished());
    EXPECT_EQ(regs().read(550, 52), batchBefore);
    EXPECT_TRUE(prompter.shownWithTitle(QStringLiteral("Terminate Mass Calibration")));
}

TEST_F(CalibrationWindows, TemperatureOffsetConvertsBetweenOhmsAndCounts)
{
    EXPECT_EQ(TfrmTempCalibration::ohmsFromCounts(100.0, 0, 25), std::nullopt);
    EXPECT_EQ(TfrmTempCalibration::countsFromOhms(0.0, 1000, 3.0), std::nullopt);

    regs().setF64At(2 * 2352, 100.0);
    regs().setU32At(2 * 530, 1000);
    regs().setF64At(2 * 2356, 25.0);
    openAs<TfrmTempCalibration>();
    EXPECT_EQ(textOf(window.get(), "txtRTDResOff"), QStringLiteral("2.5000"));
    click("rbManual");
    enter("txtRTDResOff", QStringLiteral("3.0"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Manual Cal Complete"));
    EXPECT_EQ(regs().f64At(2 * 2356), 30.0);

    // A zero count scale cannot convert: nothing is written.
    regs().setU32At(2 * 530, 0);
    runFor(1500);
    click("rbManual");
    enter("txtRTDResOff", QStringLiteral("4.0"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Invalid Offset, old value restored!"));
    EXPECT_EQ(regs().f64At(2 * 2356), 30.0);
}

TEST_F(CalibrationWindows, TemperatureAutoStabilizesThenSetsTheOffsetFromTheActualTemperature)
{
    regs().setF64At(2 * 261, 20.0);
    regs().setF64At(2 * 2356, 7.0);
    openAs<TfrmTempCalibration>();
    click("rbAuto");
    click("btnApply");
    EXPECT_TRUE(promptsFrom(QStringLiteral("Press Apply to Stabilize")).contains(QStringLiteral("Temperature Stabilizing....")));
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter Actual Temperature"));
    EXPECT_EQ(regs().f64At(2 * 2356), 0.0) << "the offset is zero while the transmitter stabilizes";
    enter("txtActualTemp", QStringLiteral("21"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Auto Cal Complete"));
    EXPECT_EQ(glyph(), QStringLiteral("TestPass"));
    EXPECT_NEAR(regs().f64At(2 * 2356), 10000 / 100.0 * 0.385, 1e-9);  // 1 degree up
}

// Leaving an auto temperature calibration after stabilizing puts the offset back.
TEST_F(CalibrationWindows, InterruptedAutoTemperaturePutsTheOffsetBack)
{
    const std::pair<const char *, std::function<void()>> exits[] = {
        {"close", [this] { click("btnClose"); }},
        {"manual", [this] { click("rbManual"); }},
        {"escape", [this] { session.setAbort(true); runFor(1500); }},
        // A restore the transmitter refused stays pending through another auto run.
        {"restore not sent, auto again",
         [this] {
             link->closePort();
             session.setAbort(true);
             runFor(1500);  // the abort's restore cannot be sent
             ASSERT_TRUE(link->openPort());
             runFor(1500);  // the window reads the zeroed offset
             click("rbAuto");
             click("btnApply");
             click("rbManual");
         }},
    };
    for (const auto &[name, leave] : exits) {
        SCOPED_TRACE(name);
        regs().setF64At(2 * 2356, 7.0);
        openAs<TfrmTempCalibration>();
        click("rbAuto");
        click("btnApply");
        ASSERT_EQ(regs().f64At(2 * 2356), 0.0);
        leave();
        EXPECT_EQ(regs().f64At(2 * 2356), 7.0);
        closeWindows();
    }
}

TEST_F(CalibrationWindows, DensityAutoSendsTheActualDensityInGramsPerCcAndTheTransmitterSetsC1C2)
{
    regs().setU8At(2 * 748, 1);  // lb/ft3
    const double c1Before = regs().f64At(2 * 2328);
    openAs<TfrmDensityCalibration>();
    EXPECT_TRUE(prompter.messages.isEmpty()) << "no unit warning outside °API";
    EXPECT_EQ(textOf(window.get(), "lblActDensUnit"), QStringLiteral("lb/ft3"));
    click("rbAuto");
    EXPECT_EQ(prompts.last(), QStringLiteral("Press Apply to Stabilize Density"));
    click("btnApply");
    EXPECT_TRUE(prompts.contains(QStringLiteral("Density Stabilizing....")));
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter Air Freq, Air Temp, Actual Density"));
    EXPECT_EQ(textOf(window.get(), "txtActualDensity"), QStringLiteral("0.0000"));
    enter("txtActualDensity", QStringLiteral("62.427961"));
    EXPECT_EQ(prompts.last(), QStringLiteral("Press Apply to update"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Auto Cal Complete"));
    EXPECT_EQ(glyph(), QStringLiteral("TestPass"));
    EXPECT_NEAR(regs().f64At(2 * 122), 1.0, 1e-6) << "sent in g/cc";
    // The new constants pass through both points: air, and the product at its tube frequency.
    const double c1 = regs().f64At(2 * 2328), c2 = regs().f64At(2 * 2332);
    const double fa = regs().f64At(2 * 2336), fp = regs().f64At(2 * 2344);
    EXPECT_NE(c1, c1Before);
    EXPECT_NEAR(c1 / (fa * fa) + c2, 0.0012, 1e-9);
    EXPECT_NEAR(c1 / (fp * fp) + c2, 1.0, 1e-6);
}

TEST_F(CalibrationWindows, DensityManualWritesTheConstantsAsTyped)
{
    openAs<TfrmDensityCalibration>();
    const QByteArray before = regs().read(2328, 48);
    click("rbManual");
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter C1, C2, Air Freq, Air Temp"));
    enter("txtC1", QStringLiteral("1.234567e+04"));
    enter("txtC2", QStringLiteral("x"));
    EXPECT_EQ(prompts.last(), QStringLiteral("Invalid Constant, old value restored!"));
    enter("txtC2", QStringLiteral("-5.0e-01"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Manual Cal Complete"));
    EXPECT_EQ(regs().f64At(2 * 2328), 12345.67);
    EXPECT_EQ(regs().f64At(2 * 2332), -0.5);
    EXPECT_EQ(regs().read(2336, 32), before.mid(16)) << "the air point and the rest go back as read";
}

// A meter in °API is calibrated in g/cc: the density block is switched for the
// window's lifetime, and only when its read succeeded; Cancel leaves it alone.
TEST_F(CalibrationWindows, DensityApiUnitIsSwitchedToGramsPerCcAndBack)
{
    QByteArray api = regs().read(748, 68);
    api[0] = 4;
    regs().store(748, api);
    openAs<TfrmDensityCalibration>();
    ASSERT_TRUE(prompter.shownWithTitle(QStringLiteral("Density Calibration Warning")));
    QByteArray switched = api;
    switched[0] = 0;
    EXPECT_EQ(regs().read(748, 68), switched);
    EXPECT_TRUE(forcedOn(takeRequests()).contains(65));
    EXPECT_EQ(textOf(window.get(), "lblDensUnit"), QStringLiteral("g/cc"));
    click("btnClose");
    EXPECT_TRUE(window->finished());
    EXPECT_TRUE(prompter.shown(QStringLiteral("Warning: Return Control Loops To Normal Configuration")));
    EXPECT_EQ(regs().read(748, 68), api);
    EXPECT_TRUE(forcedOn(takeRequests()).contains(66));

    prompter.answers = {Prompter::IdCancel};
    openAs<TfrmDensityCalibration>();
    runFor(3500);
    EXPECT_TRUE(window->finished()) << "Cancel closes the window on the first tick";
    EXPECT_EQ(regs().read(748, 68), api);
    EXPECT_FALSE(forcedOn(takeRequests()).contains(65));

    // The block cannot be read: nothing is switched and the window closes.
    link->closePort();
    prompter.messages.clear();
    openAs<TfrmDensityCalibration>();
    runFor(3500);
    EXPECT_TRUE(window->finished());
    EXPECT_TRUE(prompter.shownWithTitle(QStringLiteral("Calibration Failure")));
    EXPECT_EQ(regs().read(748, 68), api);
}

namespace {
struct AnalogOutput {
    const char *name;
    int block, drive, apply, end, index;
};
constexpr AnalogOutput AnalogOutputs[] = {
    {.name = "Analog 1", .block = 881, .drive = 9, .apply = 12, .end = 18, .index = 0},
    {.name = "Analog 4", .block = 949, .drive = 11, .apply = 14, .end = 20, .index = 2},
};
}  // namespace

class AnalogCalibration : public CalibrationWindows {
protected:
    // Opens on the output with a known gain, offset and fixed current, and starts Auto.
    void startAuto(const AnalogOutput &o)
    {
        regs().setF64At(2 * o.block + 42, 1.0);
        regs().setF64At(2 * o.block + 50, 0.0);
        regs().setF64At(2 * o.block + 58, 7.5);
        openAs<TfrmAnalogCalibration>();
        pick(control<QComboBox>(window.get(), "cboOutput"), QString::fromLatin1(o.name));
        takeRequests();
        click("rbAuto");
    }
    double fixedCurrent(const AnalogOutput &o) { return regs().f64At(2 * o.block + 58); }
};

TEST_F(AnalogCalibration, AutoTrimsTheChosenOutputAndPutsItsFixedCurrentBack)
{
    for (const AnalogOutput &o : AnalogOutputs) {
        SCOPED_TRACE(o.name);
        startAuto(o);
        EXPECT_EQ(prompts.last(), QStringLiteral("Output is 4ma, enter actual output"));
        EXPECT_EQ(device().forcedCurrent(o.index), 4.0);
        enter("txtLoAmps", QStringLiteral("4.1"));
        enter("txtHiAmps", QStringLiteral("19.2"));
        EXPECT_TRUE(prompts.contains(QStringLiteral("Output is 19ma, enter actual output")));
        EXPECT_EQ(device().forcedCurrent(o.index), 19.0);
        click("btnApply");
        EXPECT_EQ(prompts.last(), QStringLiteral("Auto Cal Complete"));
        const QList<int> forced = forcedOn(takeRequests());
        for (int coil : {o.drive, o.end, o.apply})
            EXPECT_TRUE(forced.contains(coil)) << coil;
        EXPECT_NEAR(regs().f64At(2 * o.block + 42), 15.0 / (19.2 - 4.1), 1e-12);
        EXPECT_NEAR(regs().f64At(2 * o.block + 50), -0.1, 1e-12);
        EXPECT_EQ(fixedCurrent(o), 7.5);
        EXPECT_EQ(device().forcedCurrent(o.index), std::nullopt) << "the output is released";
        closeWindows();
    }
}

// However an auto calibration ends early, the output is released, its fixed
// current goes back, and no trim reaches the transmitter.
TEST_F(AnalogCalibration, InterruptedAutoPutsTheOutputBack)
{
    const AnalogOutput &o = AnalogOutputs[1];
    const std::pair<const char *, std::function<void()>> exits[] = {
        {"close", [this] { click("btnClose"); }},
        {"manual", [this] { click("rbManual"); }},
        {"escape", [this] { session.setAbort(true); runFor(1500); }},
        {"end coil refused", [this, &o] { device().setStuckBusyCoil(o.end); click("btnApply"); }},
        {"trim refused", [this, &o] { device().setStuckBusyCoil(o.apply); click("btnApply"); }},
    };
    for (const auto &[name, leave] : exits) {
        SCOPED_TRACE(name);
        startAuto(o);
        enter("txtLoAmps", QStringLiteral("4.1"));
        enter("txtHiAmps", QStringLiteral("19.2"));
        ASSERT_EQ(fixedCurrent(o), 19.0) << "the transmitter takes the driven current";
        leave();
        device().setStuckBusyCoil(-1);
        EXPECT_EQ(fixedCurrent(o), 7.5);
        EXPECT_EQ(device().forcedCurrent(o.index), std::nullopt);
        EXPECT_EQ(regs().f64At(2 * o.block + 42), 1.0);
        EXPECT_FALSE(prompts.contains(QStringLiteral("Auto Cal Complete")));
        closeWindows();
    }
}

// A drive that cannot be released is not forgotten: the technician is told the
// output may still be held.
TEST_F(AnalogCalibration, LostLinkDuringADriveSaysTheOutputMayStillBeHeld)
{
    startAuto(AnalogOutputs[1]);
    link->closePort();
    session.setAbort(true);
    runFor(1500);
    EXPECT_TRUE(std::any_of(prompter.messages.cbegin(), prompter.messages.cend(), [](const auto &m) {
        return m.text.startsWith(QStringLiteral("Analog 4 may still be held at 4 mA"));
    }));
    EXPECT_TRUE(link->openPort());
}

TEST_F(AnalogCalibration, ManualWritesGainAndOffsetIntoTheBlockAsRead)
{
    const AnalogOutput &o = AnalogOutputs[0];
    const QByteArray before = regs().read(o.block, 68);
    openAs<TfrmAnalogCalibration>();
    click("rbManual");
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter new Gain value"));
    enter("txtGain", QStringLiteral("1.01"));
    EXPECT_EQ(prompts.last(), QStringLiteral("Enter new Offset value"));
    enter("txtOffset", QStringLiteral("-0.02"));
    click("btnApply");
    EXPECT_EQ(prompts.last(), QStringLiteral("Manual Cal Complete"));
    QByteArray expected = before;
    BigEndian::putDouble(expected, 42, 1.01);
    BigEndian::putDouble(expected, 50, -0.02);
    EXPECT_EQ(regs().read(o.block, 68), expected);
}

TEST_F(CalibrationWindows, SensorAdjustmentChecksWritesAndUndoes)
{
    regs().setU16At(2 * 510, 13305);
    regs().setU16At(2 * 512, 10);
    const QByteArray delayBefore = regs().read(1012, 16), sensorBefore = regs().read(508, 32);
    QWidget *w = openAs<TfrmSensorCalibration>();
    EXPECT_EQ(textOf(w, "txtSensorSetpt"), QStringLiteral("92.65"));
    struct Entry {
        const char *field, *typed, *shown;
    };
    for (const Entry e : {Entry{"txtSensorErrorDelay", "750", "600.000000"}, Entry{"txtSensorErrorDelay", "-5", "0.000000"},
                          Entry{"txtGainControl", "0", "10"}, Entry{"txtGainControl", "70000", "10"},
                          Entry{"txtGainControl", "2.5", "10"}, Entry{"txtSensorSetpt", "600", "92.65"},
                          Entry{"txtSensorSetpt", "abc", "92.65"}}) {
        enter(e.field, QString::fromLatin1(e.typed));
        EXPECT_EQ(textOf(w, e.field), QString::fromLatin1(e.shown)) << e.field << " " << e.typed;
    }
    EXPECT_EQ(textOf(w, "pnlStatus"), QStringLiteral("Invalid Sensor Setpoint, old value restored!"));
    enter("txtGainControl", QStringLiteral("20"));
    enter("txtSensorSetpt", QStringLiteral("100"));
    click("btnApply");
    EXPECT_EQ(regs().f64At(2 * 1012), 0.0);
    EXPECT_EQ(regs().u16At(2 * 512), 20);
    EXPECT_EQ(regs().u16At(2 * 510), 13813);  // 100 / (1 - 0.735 / 20) mVrms
    EXPECT_EQ(textOf(w, "txtSensorSetpt"), QStringLiteral("100.00"));
    click("btnUndo");
    EXPECT_EQ(regs().read(1012, 16), delayBefore);
    EXPECT_EQ(regs().read(508, 32), sensorBefore);
}
