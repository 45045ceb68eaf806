#include "Clock.h"
#include "OnePageReport.h"
#include "PdfText.h"
#include "PollCycle.h"
#include "SimProcess.h"
#include "SimTransmitter.h"
#include "SimWindowTest.h"
#include "WidgetQuery.h"
#include "frmViewMeasurements.h"

#include <QFile>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <memory>

namespace {
constexpr double LbPerSecToKgPerMin = 27.21554244;
constexpr double LbToKg = 0.453592374;
}  // namespace

class ViewMeasurementsTest : public SimWindowTest {
protected:
    void SetUp() override
    {
        SimWindowTest::SetUp();
        // Transmitter units: mass kg/min, volume m3/day, std volume cc/sec, density
        // g/cc, temperature °F.
        regs().setU8At(2 * 680, 4);
        regs().setU8At(2 * 782, 16);
        regs().setU8At(2 * 816, 0);
        regs().setU8At(2 * 748, 0);
        regs().setU8At(2 * 714, 1);
        regs().setF64At(2 * 252, 1.0);     // mass rate, lb/sec
        regs().setF64At(2 * 244, 100.0);   // mass total, lb
        regs().setF64At(2 * 248, 60.0);    // forward
        regs().setF64At(2 * 287, 1000.0);  // volume rate, cc/sec
        regs().setF64At(2 * 279, 2.0e6);   // volume total, cc
        regs().setF64At(2 * 283, 0.5e6);
        regs().setF64At(2 * 261, 100.0);   // °C
        regs().setF64At(2 * 468, M_PI / 2);
    }

    std::unique_ptr<TfrmViewMeasurements> openView() { return openOnLink<TfrmViewMeasurements>(); }
    static void tick(TfrmViewMeasurements &w) { emit w.pollCycle().timer().timeout(); }
};

TEST_F(ViewMeasurementsTest, ShowsValuesInTheTransmittersUnits)
{
    auto w = openView();
    EXPECT_EQ(textOf(w.get(), "cboMassRate"), "kg/min");
    EXPECT_NEAR(numberOf(w.get(), "txtMassRate"), LbPerSecToKgPerMin, 1e-4);
    EXPECT_EQ(textOf(w.get(), "cboMassTotal"), "kg");
    EXPECT_NEAR(numberOf(w.get(), "txtMassTotal"), 100 * LbToKg, 1e-3);
    EXPECT_NEAR(numberOf(w.get(), "txtMassTotalFwd"), 60 * LbToKg, 1e-3);
    EXPECT_NEAR(numberOf(w.get(), "txtMassTotalRev"), 40 * LbToKg, 1e-3);
    EXPECT_EQ(textOf(w.get(), "lblMassTotalFwdUnit"), "kg");
    EXPECT_EQ(textOf(w.get(), "lblMassTotalRevUnit"), "kg");

    // m3/day drives the volume total to m3.
    EXPECT_EQ(textOf(w.get(), "cboVolumeRate"), "m3/day");
    EXPECT_NEAR(numberOf(w.get(), "txtVolumeRate"), 86.4, 1e-3);
    EXPECT_EQ(textOf(w.get(), "cboVolumeTotal"), "m3");
    EXPECT_NEAR(numberOf(w.get(), "txtVolumeTotal"), 2.0, 1e-6);
    EXPECT_NEAR(numberOf(w.get(), "txtVolTotalRev"), 1.5, 1e-6);

    EXPECT_EQ(textOf(w.get(), "cboTemperature"), "°F");
    EXPECT_NEAR(numberOf(w.get(), "txtTemperature"), 212.0, 1e-3);
    EXPECT_NEAR(numberOf(w.get(), "txtPhase"), 90.0, 1e-3);
    EXPECT_EQ(textOf(w.get(), "lblPhaseUnit"), "Deg");

    // A poll takes the transmitter's new value; a picked unit converts it.
    regs().setF64At(2 * 252, 2.0);
    tick(*w);
    EXPECT_NEAR(numberOf(w.get(), "txtMassRate"), 2 * LbPerSecToKgPerMin, 1e-4);
    pick(control<QComboBox>(w.get(), "cboMassRate"), QStringLiteral("lb/hr"));
    EXPECT_NEAR(numberOf(w.get(), "txtMassRate"), 7200.0, 1e-3);
    pick(control<QComboBox>(w.get(), "cboTemperature"), QStringLiteral("°C"));
    EXPECT_NEAR(numberOf(w.get(), "txtTemperature"), 100.0, 1e-3);
}

TEST_F(ViewMeasurementsTest, BatchUnitFollowsTheBatchedQuantitysRate)
{
    const struct {
        int batchCode;
        int rateBlock;
        int rateIndex;
        const char *unit;
    } cases[] = {
        {8, 782, 16, "m3"},      // volume total, m3/day
        {8, 782, 17, "Barrel"},  // volume total, Barrel/day
        {8, 782, 5, "liter"},    // volume total, liter/hr
        {6, 680, 4, "kg"},       // mass total, kg/min
    };
    for (const auto &c : cases) {
        regs().setU8At(2 * 550, uint8_t(c.batchCode));
        regs().setU8At(2 * c.rateBlock, uint8_t(c.rateIndex));
        auto w = openView();
        EXPECT_EQ(textOf(w.get(), "cboBatchSize"), c.unit) << c.rateIndex;
        EXPECT_EQ(textOf(w.get(), "cboBatchTotal"), c.unit) << c.rateIndex;
    }
}

// A failed poll keeps the last values, greyed, and the polling; blocks that still
// arrive are shown, and the next good poll shows everything again.
TEST_F(ViewMeasurementsTest, OldValuesAreKeptGreyedUntilAPollSucceeds)
{
    sim::Faults refusing;
    refusing.exceptionCode = 4;
    refusing.exceptionFirst = 244;  // the mass and temperature blocks, not the phase
    refusing.exceptionLast = 320;
    const struct {
        const char *what;
        std::function<void(ModbusLink &, sim::SimTransmitter &)> fail, recover;
        const char *why;
        double phase;  // shown after the failed poll
    } cases[] = {
        {"exception", [&](ModbusLink &, sim::SimTransmitter &t) { t.setFaults(refusing); },
         [](ModbusLink &, sim::SimTransmitter &t) { t.setFaults({}); }, "the transmitter does not answer", 0.0},
        {"port closed", [](ModbusLink &l, sim::SimTransmitter &) { l.closePort(); },
         [](ModbusLink &l, sim::SimTransmitter &) { l.openPort(); }, "the port is closed", 90.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        session.setDeviceModel(QStringLiteral("KRM410"));  // its own disabled rows must stay so
        regs().setF64At(2 * 252, 1.0);
        regs().setF64At(2 * 468, M_PI / 2);
        auto w = openView();
        QStringList status;
        QObject::connect(&w->pollCycle(), &PollCycle::statusText, [&](const QString &t) { status << t; });
        auto *rate = control<QLineEdit>(w.get(), "txtMassRate");
        auto *stdRate = control<QLineEdit>(w.get(), "txtStdVolRate");
        ASSERT_TRUE(rate->isEnabled() && !stdRate->isEnabled());

        c.fail(*link, *simulator->transmitter());
        regs().setF64At(2 * 252, 5.0);
        regs().setF64At(2 * 468, 0.0);
        tick(*w);
        EXPECT_NEAR(numberOf(w.get(), "txtMassRate"), LbPerSecToKgPerMin, 1e-4);
        EXPECT_NEAR(numberOf(w.get(), "txtTemperature"), 212.0, 1e-3);
        EXPECT_NEAR(numberOf(w.get(), "txtPhase"), c.phase, 1e-9);
        EXPECT_TRUE(w->pollCycle().timer().isActive());
        EXPECT_FALSE(rate->isEnabled());
        ASSERT_EQ(status.size(), 1);
        EXPECT_TRUE(status[0].startsWith("No data since ")) << status[0].toStdString();
        EXPECT_TRUE(status[0].contains(QLatin1String(c.why))) << status[0].toStdString();
        tick(*w);
        EXPECT_EQ(status.size(), 1) << "said once, not on every poll";

        c.recover(*link, *simulator->transmitter());
        tick(*w);
        EXPECT_NEAR(numberOf(w.get(), "txtMassRate"), 5 * LbPerSecToKgPerMin, 1e-4);
        EXPECT_TRUE(rate->isEnabled());
        EXPECT_FALSE(stdRate->isEnabled());
        EXPECT_EQ(status.value(1), QString());
        session.setDeviceModel(QString());
    }
}

TEST_F(ViewMeasurementsTest, TotalUnitFollowsItsRateUntilTheUserPicksAnother)
{
    auto w = openView();
    auto *rate = control<QComboBox>(w.get(), "cboMassRate");
    auto *total = control<QComboBox>(w.get(), "cboMassTotal");
    pick(rate, QStringLiteral("lb/hr"));
    EXPECT_EQ(total->currentText(), "lb");
    EXPECT_NEAR(numberOf(w.get(), "txtMassTotal"), 100.0, 1e-3);
    EXPECT_EQ(textOf(w.get(), "lblMassTotalFwdUnit"), "lb");

    pick(total, QStringLiteral("g"));
    EXPECT_NEAR(numberOf(w.get(), "txtMassTotal"), 45359.2374, 1e-2);
    pick(rate, QStringLiteral("kg/sec"));
    EXPECT_EQ(total->currentText(), "g");

    // Picking the implied unit again re-links the pair.
    pick(total, QStringLiteral("kg"));
    pick(rate, QStringLiteral("tonne/hr"));
    EXPECT_EQ(total->currentText(), "tonne");

    auto *volume = control<QComboBox>(w.get(), "cboVolumeRate");
    pick(volume, QStringLiteral("Barrel/day"));
    EXPECT_EQ(textOf(w.get(), "cboVolumeTotal"), "Barrel");
    pick(volume, QStringLiteral("liter/hr"));
    EXPECT_EQ(textOf(w.get(), "cboVolumeTotal"), "liter");
}

TEST_F(ViewMeasurementsTest, SpecialShowsTheRecordsOwnTextAndFactor)
{
    // Special mass: 2.5 of the user's unit per lb/sec, called "bags".
    regs().setF64At(2 * 850, 2.5);
    regs().setTextAt(2 * 850 + 8, 6, QStringLiteral("bags"));
    regs().setF64At(2 * 850 + 14, 4.0);
    regs().setTextAt(2 * 850 + 22, 6, QStringLiteral("bag"));
    regs().setU8At(2 * 850 + 28, 0);
    // Configured so in the transmitter: the texts show from the start.
    regs().setU8At(2 * 680, 15);
    auto w = openView();
    auto *rate = control<QComboBox>(w.get(), "cboMassRate");
    EXPECT_EQ(rate->currentText(), "bags");
    EXPECT_NEAR(numberOf(w.get(), "txtMassRate"), 2.5, 1e-6);
    EXPECT_EQ(textOf(w.get(), "cboMassTotal"), "bag");
    EXPECT_NEAR(numberOf(w.get(), "txtMassTotal"), 400.0, 1e-6);
    EXPECT_EQ(textOf(w.get(), "lblMassTotalRevUnit"), "bag");

    // Each poll shows the record as the transmitter holds it now.
    regs().setTextAt(2 * 850 + 8, 6, QStringLiteral("sacks"));
    tick(*w);
    EXPECT_EQ(rate->currentText(), "sacks");
}

TEST_F(ViewMeasurementsTest, UnitsAreSavedAsTextsAndLoadedBack)
{
    auto w = openView();
    pick(control<QComboBox>(w.get(), "cboMassRate"), QStringLiteral("g/min"));
    pick(control<QComboBox>(w.get(), "cboVolumeTotal"), QStringLiteral("USgal"));
    pick(control<QComboBox>(w.get(), "cboDensity"), QStringLiteral("kg/m3"));
    control<QPushButton>(w.get(), "btnSaveUnits")->click();

    QFile ini(workDir.filePath(QStringLiteral("TARVINE.INI")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("[ViewMeas Units]"));
    EXPECT_TRUE(text.contains("MassRate=g/min"));
    EXPECT_TRUE(text.contains("VolumeTotal=USgal"));
    EXPECT_TRUE(text.contains("Temperature=\xC2\xB0" "F"));  // a new file is UTF-8
    ini.close();

    auto again = openView();
    EXPECT_EQ(textOf(again.get(), "cboMassRate"), "kg/min");
    control<QPushButton>(again.get(), "btnLoadUnits")->click();
    EXPECT_EQ(textOf(again.get(), "cboMassRate"), "g/min");
    EXPECT_EQ(textOf(again.get(), "cboVolumeTotal"), "USgal");
    EXPECT_EQ(textOf(again.get(), "cboDensity"), "kg/m3");
    // Loading re-links: USgal is not what m3/day implies, so the total stays put.
    pick(control<QComboBox>(again.get(), "cboVolumeRate"), QStringLiteral("liter/hr"));
    EXPECT_EQ(textOf(again.get(), "cboVolumeTotal"), "USgal");

    // Units touched since the load are saved again on Close.
    pick(control<QComboBox>(again.get(), "cboMassRate"), QStringLiteral("lb/min"));
    control<QPushButton>(again.get(), "btnClose")->click();
    EXPECT_FALSE(again->isVisible());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("MassRate=lb/min"));
}

TEST_F(ViewMeasurementsTest, LoadKeepsTheSelectionForMissingKeysAndUnknownTexts)
{
    QFile ini(workDir.filePath(QStringLiteral("tarvine.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[ViewMeas Units]\r\nMassRate=oz/hr\r\nMassTotal=bags\r\n");
    ini.close();
    auto w = openView();
    control<QPushButton>(w.get(), "btnLoadUnits")->click();
    EXPECT_EQ(textOf(w.get(), "cboMassRate"), "oz/hr");
    EXPECT_EQ(textOf(w.get(), "cboMassTotal"), "kg");
    EXPECT_EQ(textOf(w.get(), "cboVolumeRate"), "m3/day");
    EXPECT_EQ(textOf(w.get(), "cboTemperature"), "°F");
}

TEST_F(ViewMeasurementsTest, DensityInApiShowsTheTransmittersValueUnderTheLabel)
{
    // A crude of 0.85 g/cc at a 15 °C standard temperature, reported in °API.
    simulator->process()->setDensity(0.85);
    regs().setU8At(2 * 748, 4);
    regs().setU8At(2 * 1807 + 1, 0);
    simulator->process()->step(0.0);
    auto w = openView();
    EXPECT_FALSE(control<QComboBox>(w.get(), "cboDensity")->isVisible());
    auto *api = control<QLabel>(w.get(), "Label28");
    EXPECT_TRUE(api->isVisible());
    EXPECT_EQ(api->text(), "°API");
    EXPECT_NEAR(numberOf(w.get(), "txtDensity"), 34.83, 0.1);

    regs().setU8At(2 * 748, 1);   // the transmitter reports g/cc again
    simulator->process()->step(0.0);
    tick(*w);
    EXPECT_TRUE(control<QComboBox>(w.get(), "cboDensity")->isVisible());
    EXPECT_FALSE(api->isVisible());
    EXPECT_NEAR(numberOf(w.get(), "txtDensity"), 0.85, 0.01);   // in the combo's g/cc
}

TEST_F(ViewMeasurementsTest, ReducedModelNeitherPollsNorShowsItsMissingRows)
{
    session.setDeviceModel(QStringLiteral("KRM410"));
    auto w = openView();
    for (const char *name : {"txtStdVolRate", "cboStdVolTotal", "txtPercentConc", "cboConcRate", "txtBatchSize",
                             "cboBatchTotal"})
        EXPECT_FALSE(w->findChild<QWidget *>(QLatin1String(name))->isEnabled()) << name;
    EXPECT_TRUE(control<QLineEdit>(w.get(), "txtMassRate")->isEnabled());
    takeRequests();
    tick(*w);
    const auto polled = takeRequests();
    EXPECT_TRUE(hasRead(polled, 244));
    EXPECT_TRUE(hasRead(polled, 459));
    EXPECT_FALSE(hasRead(polled, 416));
    EXPECT_FALSE(hasRead(polled, 550));
    const OnePageReport page = w->report();
    for (const auto &row : page.rows()) {
        EXPECT_FALSE(row.caption.startsWith(QStringLiteral("Std Vol"))) << row.caption.toStdString();
        EXPECT_FALSE(row.caption.startsWith(QStringLiteral("Solid"))) << row.caption.toStdString();
        EXPECT_FALSE(row.caption.startsWith(QStringLiteral("Batch"))) << row.caption.toStdString();
    }
    EXPECT_EQ(page.rows().size(), 12);
}

TEST_F(ViewMeasurementsTest, CloseDuringAPollEndsTheWindowWhenThePollReturns)
{
    auto w = openView();
    QTest::keyClick(w.get(), Qt::Key_Escape);
    ASSERT_TRUE(w->isVisible()) << "Escape does not close the view";
    ASSERT_TRUE(w->pollCycle().timer().isActive());
    takeRequests();
    bool timerRanDuringPoll = true;
    // Runs inside the poll's first wait in the link.
    QTimer::singleShot(0, w.get(), [&] {
        timerRanDuringPoll = w->pollCycle().timer().isActive();
        control<QPushButton>(w.get(), "btnClose")->click();
        EXPECT_TRUE(w->isVisible());
    });
    tick(*w);
    EXPECT_FALSE(timerRanDuringPoll);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_FALSE(w->pollCycle().timer().isActive());
    const auto requests = takeRequests();
    EXPECT_TRUE(hasRead(requests, 244));
    EXPECT_FALSE(hasRead(requests, 459)) << "the poll went on after Close";
}

TEST_F(ViewMeasurementsTest, PrintoutReadsBackFromPdf)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed; the page would be printed on paper";
    // The tag as the link's identification left it in the image.
    link->image().setTextAt(2 * 578, 20, QStringLiteral("PUMP-7"));
    auto w = openView();
    const QString pdf = workDir.filePath(QStringLiteral("view.pdf"));
    prompter.answers = {Prompter::IdYes};
    prompter.fileNames = {pdf};
    control<QPushButton>(w.get(), "btnPrint")->click();
    ASSERT_TRUE(QFile::exists(pdf)) << prompter.lastText().toStdString();

    const QStringList pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString &page = pages[0];
    EXPECT_TRUE(page.contains(QStringLiteral("Ostrel - View Measurements")));
    EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("Tag:\\s+PUMP-7")))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Page: 1 of 1")));
    const QString massRate = textOf(w.get(), "txtMassRate").trimmed();
    const QRegularExpression row(QStringLiteral("Mass Rate:\\s+") + QRegularExpression::escape(massRate)
                                 + QStringLiteral("\\s+kg/min"));
    EXPECT_TRUE(page.contains(row)) << page.toStdString();
    EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("Phase:\\s+9.0+e\\+01\\s*Deg"))));
    // Rows keep the window's order.
    EXPECT_LT(page.indexOf(QStringLiteral("Mass Rate:")), page.indexOf(QStringLiteral("Std Vol Rate:")));
    EXPECT_LT(page.indexOf(QStringLiteral("Std Vol Rate:")), page.indexOf(QStringLiteral("Frequency:")));
}
