// The well-test window against the simulated transmitter on the manual clock: the
// transmitter runs the test in simulated time while the window polls it.
#include "Clock.h"
#include "NumberFormat.h"
#include "PdfText.h"
#include "ConfigWindowTest.h"
#include "SimTransmitter.h"
#include "TfrmTrend.h"
#include "TfrmVTWell.h"
#include "TfrmWellCfg.h"
#include "WellTesting.h"
#include "UnitConversion.h"
#include "WellTestStatus.h"
#include "WellTime.h"

#include <QFile>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>

#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr int Params = 2 * 2128;
constexpr int NetOilRate = 450, NetWaterRate = 1798, WaterCut = 1781, Temperature = 261, Density = 270;

class WellTestWindow : public ConfigWindowTest {
protected:
    void SetUp() override
    {
        Clock::install(&clock);
        ConfigWindowTest::SetUp();
        for (auto [r, v] : {std::pair{NetOilRate, 2.0}, {NetWaterRate, 0.5}, {WaterCut, 20.0}, {Temperature, 30.0},
                            {Density, 0.9}})
            regs().setF64At(2 * r, v);
    }
    void TearDown() override
    {
        window.reset();
        ConfigWindowTest::TearDown();
        Clock::install(nullptr);
    }
    void configure(int purgeType, double purgeSec, int dumps, double testSec)
    {
        regs().setU8At(Params + 1, uint8_t(purgeType));
        regs().setF64At(Params + 2, purgeSec);
        regs().setF64At(Params + 10, testSec);
        regs().setU8At(Params + 29, uint8_t(dumps));
    }
    using ConfigWindowTest::openWindow;
    QWidget *openWindow()
    {
        window = openWindow<TfrmVTWell>();
        return window.get();
    }
    void seconds(double s)
    {
        for (int i = 0; i < int(s * 10); ++i) {
            clock.advance(100);
            settle();
        }
    }
    QString testStatus() { return textOf(window.get(), "lblWellTestStat"); }
    bool enabled(const char *button) { return control<QPushButton>(window.get(), button)->isEnabled(); }
    bool shown(const char *name) { return control<QWidget>(window.get(), name)->isVisible(); }

    ManualClock clock;
    std::unique_ptr<TfrmVTWell> window;
};

TEST(WellTestStatus, PurgeThenTestTimeWhileRunning)
{
    const struct {
        double purgeLeft;
        int dumpsLeft;
        double timeRemained;
        const char *running;
        const char *stopped;
    } cases[] = {
        {0, 0, 0, "Stopped", "Stopped"},     {0, 0, 120, "In Progress", "Stopped"},
        {30, 0, 120, "Purging", "Stopped"},  {0, 2, 0, "Purging", "Stopped"},
        {std::nan(""), 0, 0, "Stopped", "Stopped"},
    };
    for (const auto &c : cases) {
        const WellTestProgress p{c.purgeLeft, c.dumpsLeft, c.timeRemained};
        EXPECT_EQ(wellTestStatus(p, true), QLatin1String(c.running)) << c.purgeLeft << " " << c.dumpsLeft;
        EXPECT_EQ(wellTestStatus(p, false), QLatin1String(c.stopped));
    }
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char *> times[] = {{3725, "01:02:05"}, {0, "00:00:00"}, {59.9, "00:00:59"},
                                                      {-5, "00:00:00"},  {std::nan(""), "00:00:00"}, {inf, "00:00:00"},
                                                      {1e300, "99:59:59"}};
    for (const auto &[s, text] : times)
        EXPECT_EQ(WellTime::toHHMMSS(s), QLatin1String(text)) << s;
}

// A test purged by time, then one purged by dumps, each from Start to its averages.
TEST_F(WellTestWindow, WholeTestsFromStartToTheAverages)
{
    openWindow();
    EXPECT_EQ(testStatus(), "Stopped");
    EXPECT_TRUE(enabled("btnStart"));
    EXPECT_FALSE(enabled("btnStop"));
    auto *netOil = control<QLineEdit>(window.get(), "txtNetOilRate");
    EXPECT_EQ(netOil->palette().color(QPalette::Text), netOil->palette().color(QPalette::Button));
    EXPECT_FALSE(control<QComboBox>(window.get(), "cboNetOilRateUnit")->isEnabled());
    EXPECT_TRUE(control<QComboBox>(window.get(), "cboAveNetOilRateUnit")->isEnabled());

    // The status from the Start on, at every reply that reaches the window.
    QString statusWhenForced;
    QStringList statusesAfterStart;
    bool started = false;
    QObject::connect(&device(), &sim::SimDevice::coilForced, window.get(), [&](int coil, bool on) {
        if (coil == TfrmVTWell::StartCoil && on) {
            statusWhenForced = testStatus();
            started = true;
        }
    });
    QObject::connect(simulator->transmitter(), &sim::SimTransmitter::transmit, window.get(), [&] {
        if (started)
            statusesAfterStart << testStatus();
    });

    const struct {
        const char *name;
        int purgeType;
        double purgeSec;
        int dumps;
        double testSec;
        double purgeFor;
        const char *purgeRow;
    } runs[] = {
        {"by time", 1, 3, 0, 5, 3, "lblPurgeSecValue"},
        {"by dumps", 2, 0, 2, 5, 2 * sim::DefaultDumpSeconds, "lblDumpRemainedValue"},
    };
    for (const auto &run : runs) {
        SCOPED_TRACE(run.name);
        configure(run.purgeType, run.purgeSec, run.dumps, run.testSec);
        takeRequests();
        started = false;
        statusesAfterStart.clear();
        click(window.get(), "btnStart");
        EXPECT_EQ(statusWhenForced, "Processing...");
        EXPECT_FALSE(statusesAfterStart.contains("Stopped")) << statusesAfterStart.join(", ").toStdString();
        EXPECT_EQ(forcedOn(takeRequests()), QList<int>{TfrmVTWell::StartCoil});
        EXPECT_EQ(testStatus(), "Purging");
        EXPECT_FALSE(enabled("btnStart"));
        EXPECT_TRUE(enabled("btnStop"));
        EXPECT_EQ(control<QPushButton>(window.get(), "btnStop")->property("glyph"), "PortClose");
        EXPECT_TRUE(shown(run.purgeRow));
        EXPECT_EQ(shown("lblDumpCountValue"), run.purgeType == 2);
        EXPECT_EQ(shown("lblPurgeSecValue"), run.purgeType == 1);
        EXPECT_NE(netOil->palette().color(QPalette::Text), netOil->palette().color(QPalette::Button));

        seconds(run.purgeFor + 1.5);
        EXPECT_EQ(testStatus(), "In Progress");
        EXPECT_EQ(textOf(window.get(), "lblElapseTestTimeValue"), "00:00:04");
        seconds(run.testSec);
        EXPECT_EQ(testStatus(), "Stopped");
        EXPECT_TRUE(enabled("btnStart"));

        // Constant live values: the averages are those values, the totals rate x test time.
        EXPECT_EQ(textOf(window.get(), "txtAveNetOil"), textOf(window.get(), "txtNetOilRate"));
        EXPECT_EQ(textOf(window.get(), "txtAveWaterCut"), FormatValue(7, 20.0));
        EXPECT_EQ(textOf(window.get(), "txtAveTemp"), textOf(window.get(), "txtTemp"));
        const int totalUnit = control<QComboBox>(window.get(), "cboNetOilTotalUnit")->currentIndex();
        EXPECT_EQ(textOf(window.get(), "txtNetOilTotal"), FormatValue(8, FromBase(8, 2.0 * run.testSec, totalUnit)));
    }
}

TEST_F(WellTestWindow, StopInTheMiddle)
{
    configure(0, 0, 0, 3600);
    openWindow();
    // The trend follows the test, and its line breaks where the polls failed.
    click(window.get(), "btnTrend");
    auto *trend = window->findChild<TfrmTrend *>();
    ASSERT_TRUE(trend);
    trend->setPlotted(0, true);
    click(window.get(), "btnStart");
    seconds(2);
    EXPECT_EQ(testStatus(), "In Progress");
    EXPECT_EQ(trend->segments(0).size(), 1);
    // No answer about the running flag is not "Stopped": the last known state stands.
    link->closePort();
    seconds(1.5);
    EXPECT_EQ(testStatus(), "In Progress");
    EXPECT_TRUE(enabled("btnStop"));
    EXPECT_FALSE(status.isEmpty());
    ASSERT_TRUE(link->openPort());
    seconds(2);
    EXPECT_EQ(trend->segments(0).size(), 2);
    takeRequests();
    click(window.get(), "btnStop");
    EXPECT_EQ(forcedOn(takeRequests()), QList<int>{TfrmVTWell::StopCoil});
    EXPECT_FALSE(deviceCoil(TfrmVTWell::StartCoil));
    EXPECT_EQ(testStatus(), "Stopped");
    EXPECT_TRUE(enabled("btnStart"));
    EXPECT_FALSE(enabled("btnStop"));
    EXPECT_EQ(session.accessLevel(), Session::Programmer);
}

// A well without valid data cannot be tested, but a test that already runs on it
// can still be stopped.
TEST_F(WellTestWindow, InvalidWellDisablesStartButNeverTheStopOfARunningTest)
{
    regs().setF64At(2 * 1808 + 8, 0.0);  // well 1 without water density
    openWindow();
    EXPECT_TRUE(prompter.shownWithTitle(QStringLiteral(" Well Testing Disabled")));
    EXPECT_FALSE(enabled("btnStart"));
    EXPECT_FALSE(enabled("btnStop"));
    seconds(1.5);
    EXPECT_FALSE(enabled("btnStart"));
    window.reset();

    configure(0, 0, 0, 600);
    regs().setF64At(2 * 1808 + 8, 1.02);
    ASSERT_TRUE(link->Force_Coil(TfrmVTWell::StartCoil, 0xFF00));
    ASSERT_TRUE(deviceCoil(TfrmVTWell::StartCoil));
    regs().setF64At(2 * 1808 + 8, 0.0);
    openWindow();
    EXPECT_FALSE(enabled("btnStart"));
    ASSERT_TRUE(enabled("btnStop"));
    click(window.get(), "btnStop");
    EXPECT_FALSE(deviceCoil(TfrmVTWell::StartCoil));
    EXPECT_EQ(testStatus(), "Stopped");
    EXPECT_FALSE(enabled("btnStop"));
}

TEST_F(WellTestWindow, TotalUnitsFollowTheTransmitterRateUnit)
{
    for (auto [rate, total] : {std::pair{14, 4}, {16, 2}, {17, 4}}) {
        regs().setU8At(2 * 1673, uint8_t(rate));
        openWindow();
        EXPECT_EQ(control<QComboBox>(window.get(), "cboNetOilRateUnit")->currentIndex(), rate);
        EXPECT_EQ(control<QComboBox>(window.get(), "cboNetOilTotalUnit")->currentIndex(), total) << rate;
        window.reset();
    }
}

// Opened from the well-test configuration, which locks itself when a test was left running.
TEST_F(WellTestWindow, OpenedFromTheConfigurationWhichLocksWhileTheTestRuns)
{
    auto owner = openWindow<TfrmWellCfg>();
    TfrmWellCfg &cfg = *owner;
    click(&cfg, "btnWellTest");
    auto *test = cfg.findChild<TfrmVTWell *>();
    ASSERT_TRUE(test && test->isVisible());
    EXPECT_EQ(textOf(test, "lblWellValue"), " 1");
    click(test, "btnStart");
    click(test, "btnClose");
    EXPECT_TRUE(prompter.shownWithTitle(WellTesting::InProgressTitle));
    EXPECT_FALSE(control<QComboBox>(&cfg, "cboWellNum")->isEnabled());
}

TEST_F(WellTestWindow, UnitsKeptUnderTheirKeysAndPrinted)
{
    openWindow();
    // Load puts the averages in the live density and temperature units.
    auto *temp = control<QComboBox>(window.get(), "cboTempUnit");
    temp->setCurrentIndex(1);
    click(window.get(), "btnSaveUnits");
    temp->setCurrentIndex(0);
    click(window.get(), "btnLoadUnits");
    EXPECT_EQ(temp->currentIndex(), 1);
    EXPECT_EQ(control<QComboBox>(window.get(), "cboAveTempUnit")->currentIndex(), 1);
    // The well's densities are not polled: Load shows them in the loaded unit at once.
    auto *oil = control<QComboBox>(window.get(), "cboOilDensityUnit");
    pick(oil, QStringLiteral("kg/m3"));
    click(window.get(), "btnSaveUnits");
    pick(oil, QStringLiteral("g/cc"));
    click(window.get(), "btnLoadUnits");
    EXPECT_EQ(oil->currentText(), QStringLiteral("kg/m3"));
    EXPECT_NEAR(numberOf(window.get(), "txtOilDensity"), 850.0, 0.01);
    QSettings ini(QStringLiteral("TARVINE.INI"), QSettings::IniFormat);
    ini.beginGroup(QLatin1String(TfrmVTWell::IniSection));
    for (const char *key : {"MassRate", "VolumeRate", "OilDensity", "WaterDensity", "NetWaterRate,", "NetWaterTotal",
                            "NetOilRate", "NetOilTotal", "Density", "Temperature"})
        EXPECT_TRUE(ini.contains(QLatin1String(key))) << key;

    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed; the page would be printed on paper";
    const QString pdf = workDir.filePath(QStringLiteral("well.pdf"));
    prompter.answers = {Prompter::IdYes};
    prompter.fileNames = {pdf};
    click(window.get(), "btnPrint");
    const QString page = pdfPages(pdf).value(0);
    EXPECT_TRUE(page.contains(QStringLiteral("Ostrel - View Well Measurements"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("Well ID:\\s+1\\n")))) << page.toStdString();
    const QRegularExpression netOil(QStringLiteral("Net Oil Rate:\\s+")
                                    + QRegularExpression::escape(textOf(window.get(), "txtNetOilRate").trimmed())
                                    + QStringLiteral("\\s+m3/day"));
    EXPECT_TRUE(page.contains(netOil)) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Elapse Test Time:")));
    // Purge rows of no purge are not on the page.
    EXPECT_FALSE(page.contains(QStringLiteral("Dumps Remained:")));
}

}  // namespace
