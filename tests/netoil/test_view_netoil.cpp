#include "Clock.h"
#include "OnePageReport.h"
#include "PollCycle.h"
#include "ConfigWindowTest.h"
#include "NetOilRegisters.h"
#include "WellTesting.h"
#include "frmViewNetOil.h"

#include <QFile>
#include <QPushButton>

#include <memory>

namespace {

constexpr int NetOilUnitAt = 2 * NetOilBlock, NetWaterUnitAt = 2 * NetWaterBlock, DensityUnitAt = 2 * 748;
constexpr int CcPerSec = 0, BarrelPerDay = 17;

class NetOilViewTest : public ConfigWindowTest {
protected:
    void SetUp() override
    {
        ConfigWindowTest::SetUp();
        // Rates in cc/sec, so totals show in cc, the base unit.
        regs().setU8At(NetOilUnitAt, CcPerSec);
        regs().setU8At(NetWaterUnitAt, CcPerSec);
    }
    std::unique_ptr<TfrmViewNetOil> openView() { return openWindow<TfrmViewNetOil>(); }
    void setTotals(int block, double value, double forward)
    {
        regs().setF64At(2 * block, value);
        regs().setF64At(2 * block + 8, forward);
    }
};

TEST_F(NetOilViewTest, TotalsShowForwardReverseAndTheirSums)
{
    setTotals(442, 120.0, 100.0);
    setTotals(1790, 30.0, 25.0);
    auto w = openView();
    const std::pair<const char *, double> shown[] = {
        {"txtNetOilTotal", 120}, {"txtNetOilTotalFwd", 100}, {"txtNetOilTotalRev", 20},
        {"txtNetWaterTotal", 30}, {"txtNetWaterTotalFwd", 25}, {"txtNetWaterTotalRev", 5},
        {"txtNetVolumeTotal", 150}, {"txtNetVolTotalFwd", 125}, {"txtNetVolTotalRev", 25},
    };
    for (const auto &[name, value] : shown)
        EXPECT_NEAR(numberOf(w.get(), name), value, 1e-9) << name;
    for (const char *unit : {"lblNetOilTotalRevUnit", "lblNetWaterTotalFwdUnit", "lblNetVolTotalRevUnit"})
        EXPECT_EQ(textOf(w.get(), unit), "cc") << unit;

    // The next poll takes the transmitter's new totals; a unit change converts them.
    setTotals(442, 220.0, 100.0);
    emit w->pollCycle().timer().timeout();
    EXPECT_NEAR(numberOf(w.get(), "txtNetVolTotalRev"), 125, 1e-9);
    pick(control<QComboBox>(w.get(), "cboNetVolumeTotalUnit"), QStringLiteral("liter"));
    EXPECT_NEAR(numberOf(w.get(), "txtNetVolumeTotal"), 0.25, 1e-9);
    EXPECT_EQ(textOf(w.get(), "lblNetVolTotalFwdUnit"), "liter");
}

TEST_F(NetOilViewTest, OnlyAVolumeTotalFollowsItsRate)
{
    const struct {
        int measParam;
        const char *rate, *totalBefore, *totalAfter;
    } cases[] = {
        {0, "Barrel/day", "cc", "Barrel"},
        {0, "m3/day", "cc", "m3"},
        {1, "kg/min", "lb", "lb"},  // mass: the total keeps its unit
    };
    for (const auto &c : cases) {
        regs().setU8At(MeasParamAt, uint8_t(c.measParam));
        setTotals(442, 1000.0, 1000.0);
        auto w = openView();
        EXPECT_EQ(textOf(w.get(), "cboNetOilTotalUnit"), c.totalBefore) << c.rate;
        pick(control<QComboBox>(w.get(), "cboNetOilRateUnit"), QLatin1String(c.rate));
        EXPECT_EQ(textOf(w.get(), "cboNetOilTotalUnit"), c.totalAfter) << c.rate;
        EXPECT_EQ(textOf(w.get(), "lblNetOilTotalFwdUnit"), c.totalAfter) << c.rate;
        EXPECT_EQ(textOf(w.get(), "cboNetWaterTotalUnit"), c.totalBefore) << "the other pair stays";
    }
}

TEST_F(NetOilViewTest, WellContextAndDensityUnits)
{
    const struct {
        int well, tableUnit, stdTemp;
        const char *wellText, *stdTempText, *unit;
        double oil, water;
    } cases[] = {
        {1, 0, 0, " 1", " 15°C", "g/cc", 0.85, 1.02},
        {1, 4, 0, " 1", " 15°C", "°API", 34.82559, 7.10466},
        {30, 2, 1, " 30", " 60°F", "kg/m3", 850.0, 1020.0},
        {0, 0, 0, " No Well Selected!!", " 15°C", "g/cc", 0.0, 0.0},
        {31, 0, 0, " No Well Selected!!", " 15°C", "g/cc", 0.0, 0.0},
    };
    for (const auto &c : cases) {
        regs().setU8At(WellNoAt, uint8_t(c.well));
        regs().setU8At(2 * WellCfg, uint8_t(c.tableUnit));
        regs().setU8At(2 * WellCfg + 1, uint8_t(c.stdTemp));
        auto w = openView();
        EXPECT_EQ(textOf(w.get(), "lblWellValue"), c.wellText) << c.well;
        EXPECT_EQ(textOf(w.get(), "lblStdTempValue"), c.stdTempText) << c.well;
        EXPECT_EQ(textOf(w.get(), "cboOilDensityUnit"), c.unit) << c.well;
        EXPECT_EQ(textOf(w.get(), "cboWaterDensityUnit"), c.unit) << c.well;
        EXPECT_NEAR(numberOf(w.get(), "txtOilDensity"), c.oil, 1e-4) << c.well;
        EXPECT_NEAR(numberOf(w.get(), "txtWaterDensity"), c.water, 1e-4) << c.well;
    }
    // Picking a unit converts the well's density, into °API too.
    regs().setU8At(WellNoAt, 1);
    regs().setU8At(2 * WellCfg, 0);
    auto w = openView();
    pick(control<QComboBox>(w.get(), "cboOilDensityUnit"), QStringLiteral("°API"));
    EXPECT_NEAR(numberOf(w.get(), "txtOilDensity"), 34.82559, 1e-4);
    EXPECT_NEAR(numberOf(w.get(), "txtWaterDensity"), 1.02, 1e-4);
}

TEST_F(NetOilViewTest, DensityInApiShowsTheLabelInsteadOfTheCombo)
{
    regs().setU8At(DensityUnitAt, 4);
    regs().setF64At(2 * 270, 34.8);
    auto w = openView();
    EXPECT_FALSE(control<QComboBox>(w.get(), "cboDensityUnit")->isVisible());
    EXPECT_TRUE(control<QLabel>(w.get(), "lblDensityAPI")->isVisible());
    EXPECT_NEAR(numberOf(w.get(), "txtDensity"), 34.8, 1e-3);
    const auto rows = w->report().rows();
    const auto density = std::find_if(rows.begin(), rows.end(), [](const auto &r) { return r.caption == "Density:"; });
    ASSERT_NE(density, rows.end());
    EXPECT_EQ(density->unit, "°API");

    regs().setU8At(DensityUnitAt, 0);
    regs().setF64At(2 * 270, 0.9);
    emit w->pollCycle().timer().timeout();
    EXPECT_TRUE(control<QComboBox>(w.get(), "cboDensityUnit")->isVisible());
    EXPECT_FALSE(control<QLabel>(w.get(), "lblDensityAPI")->isVisible());
    EXPECT_NEAR(numberOf(w.get(), "txtDensity"), 0.9, 1e-3);
}

TEST_F(NetOilViewTest, UnitsAreKeptUnderTheirKeysAndLoadedBack)
{
    auto w = openView();
    pick(control<QComboBox>(w.get(), "cboNetWaterRateUnit"), QStringLiteral("Barrel/day"));
    pick(control<QComboBox>(w.get(), "cboOilDensityUnit"), QStringLiteral("°API"));
    pick(control<QComboBox>(w.get(), "cboTempUnit"), QStringLiteral("°F"));
    control<QPushButton>(w.get(), "btnSaveUnits")->click();

    QFile file(workDir.filePath(QStringLiteral("TARVINE.INI")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[View NetOil Units]"));
    QStringList keys;
    for (const QByteArray &line : text.split('\n'))
        if (line.contains('='))
            keys << QString::fromLatin1(line.left(line.indexOf('=')));
    EXPECT_EQ(keys, (QStringList{"NetFlowTotal", "OilDensity", "WaterDensity", "NetWaterRate,", "NetWaterTotal",
                                 "NetOilRate", "NetOilTotal", "Density", "Temperature"}));
    EXPECT_TRUE(text.contains("NetWaterRate,=Barrel/day"));
    EXPECT_TRUE(text.contains("NetWaterTotal=Barrel"));
    w.reset();

    auto again = openView();
    EXPECT_EQ(textOf(again.get(), "cboNetWaterRateUnit"), "cc/sec");
    control<QPushButton>(again.get(), "btnLoadUnits")->click();
    EXPECT_EQ(textOf(again.get(), "cboNetWaterRateUnit"), "Barrel/day");
    EXPECT_EQ(textOf(again.get(), "cboNetWaterTotalUnit"), "Barrel");
    EXPECT_EQ(textOf(again.get(), "cboOilDensityUnit"), "°API");
    EXPECT_NEAR(numberOf(again.get(), "txtOilDensity"), 34.82559, 1e-4) << "shown at once in the loaded unit";
    EXPECT_EQ(textOf(again.get(), "cboTempUnit"), "°F");
}

TEST_F(NetOilViewTest, PrintsEighteenRowsInItsOwnOrder)
{
    setTotals(442, 120.0, 100.0);
    auto w = openView();
    const OnePageReport page = w->report();
    QStringList captions;
    for (const auto &row : page.rows())
        captions << row.caption;
    EXPECT_EQ(captions, (QStringList{"Net Oil Rate:", "Net Oil Total:", "Net Oil Total Fwd:", "Net Oil Total Rev:",
                                     "Net Flow Total:", "Net Flow Total Fwd:", "Net Flow Total Rev:", "Well ID:",
                                     "Oil Density:", "Water Density:", "Net Water Rate:", "Net Water Total:",
                                     "Net Water Total Fwd:", "Net Water Total Rev:", "Water Cut:", "Density:",
                                     "Temperature:", "Standard Temperature:"}));
    EXPECT_EQ(page.rows()[3].value.trimmed().toDouble(), 20.0);
    EXPECT_EQ(page.rows()[3].unit, "cc");
    EXPECT_EQ(page.rows()[7].value, " 1");
    EXPECT_EQ(page.rows()[14].unit, "%");
}

}  // namespace
