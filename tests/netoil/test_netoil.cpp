#include "ConfigWindowTest.h"
#include "NetOilRegisters.h"
#include "SimTransmitter.h"
#include "TfrmNetOil.h"
#include "TfrmWellCfg.h"
#include "TfrmWellInfo.h"
#include "WellDensity.h"
#include "WellTesting.h"
#include "WellTime.h"

#include <QApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

#include "UnitLists.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string_view>

namespace {

constexpr int WellTestParams = 2128;
constexpr int ShrinkageAt = 2 * NetOilVar;
constexpr int WellUnitAt = 2 * WellCfg, StdTempAt = 2 * WellCfg + 1;
constexpr int oilAt(int well) { return 2 * WellTesting::wellRegister(well); }
constexpr int waterAt(int well) { return oilAt(well) + 8; }
constexpr int PurgeTypeAt = 2 * WellTestParams + 1, PurgeSecAt = 2 * WellTestParams + 2,
              TestSecAt = 2 * WellTestParams + 10, NoOfDumpAt = 2 * WellTestParams + 29;

constexpr int PurgingFlagAt = 2 * WellTestParams + 18, PurgeDumpLeftAt = 2 * WellTestParams + 28;

using NetOilWindowTest = ConfigWindowTest;

// The three net-oil configuration windows: the controls a running well test
// locks, the registers each reads and writes, and an edit of each.
struct NetOilWindow {
    const char *name;
    Maker make;
    std::vector<const char *> locked;
    int first, last;
    std::function<void(QWidget *)> edit;
};

const NetOilWindow netOilWindows[] = {
    {"WellCfg", byClass<TfrmWellCfg>(),
     {"cboWellNum", "cboPurgeType", "txtEditPurgeTime", "cboNumOfDump", "cboPurgeTime"}, WellTestParams,
     WellTestParams + 14, [](QWidget *w) { pick(control<QComboBox>(w, "cboPurgeTime"), QStringLiteral("8  Hours ")); }},
    {"NetOil", byClass<TfrmNetOil>(),
     {"cboNet", "cboWellNum", "cboStdTemp", "txtFallback", "txtLoAlarmSet", "txtHiAlarmSet", "txtLFCutoff",
      "txtShrinkFactor"},
     NetOilBlock, NetOilBlock + 33, [](QWidget *w) { type(w, "txtFallback", QStringLiteral("7")); }},
    {"WellInfo", byClass<TfrmWellInfo>(), {"cboDensUnit"}, 1808, 1815,
     [](QWidget *w) { enterInCell(control<QTableWidget>(w, "grdWellData"), 0, 1, QStringLiteral("0.9")); }},
};

bool wroteTo(const QList<WireRequest> &requests, int first, int last)
{
    return std::any_of(requests.begin(), requests.end(), [&](const WireRequest &r) {
        return r.function == 16 && r.address <= last && r.address + r.count - 1 >= first;
    });
}

}  // namespace

TEST(WellTime, SecondsBothWaysAndBounded)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double seconds;
        const char *shown;
    } shown[] = {{60, "00:01"}, {5400, "01:30"}, {5459.9, "01:30"}, {std::nan(""), "00:00"}, {-1, "00:00"},
                 {inf, "00:00"}, {-inf, "00:00"}, {1e300, "99:59"}};
    for (const auto &c : shown)
        EXPECT_EQ(WellTime::toHHMM(c.seconds), QLatin1String(c.shown)) << c.seconds;

    const struct {
        const char *text;
        double seconds;  // negative: refused
    } parsed[] = {{"00:01", 60}, {"01:30", 5400}, {"99:59", 359940}, {"1:5", 3900},
                  {"00:60", -1}, {"  :  ", -1},  {"ab:cd", -1},      {"", -1}};
    for (const auto &c : parsed) {
        const auto s = WellTime::fromHHMM(QLatin1String(c.text));
        EXPECT_EQ(s.has_value(), c.seconds >= 0) << c.text;
        if (s && c.seconds >= 0) {
            EXPECT_EQ(*s, c.seconds) << c.text;
        }
    }
}

TEST_F(NetOilWindowTest, WellCfgTestTimeItemsFollowTheWholeHours)
{
    const struct {
        double testSec;
        const char *item;
    } cases[] = {{0, "Manual"},         {14400, "4  Hours"},  {28800 + 3599, "8  Hours "}, {43200, "12 Hours"},
                 {72000, "20 Hours"},   {86400, "24 Hours"},  {3600, "01:00"},             {1800, "00:30"},
                 {std::nan(""), "Manual"}, {-7200, "Manual"}};
    for (const auto &c : cases) {
        regs().setF64At(TestSecAt, c.testSec);
        auto w = openWindow<TfrmWellCfg>();
        EXPECT_EQ(textOf(w.get(), "cboPurgeTime"), QLatin1String(c.item)) << c.testSec;
    }
    // Picking an item sets the test time; the purge duration goes out in seconds.
    auto w = openWindow<TfrmWellCfg>();
    pick(control<QComboBox>(w.get(), "cboPurgeType"), QStringLiteral("Elapsed Time"));
    pick(control<QComboBox>(w.get(), "cboPurgeTime"), QStringLiteral("20 Hours"));
    typeIn(w.get(), "txtEditPurgeTime", QStringLiteral("0130"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().f64At(TestSecAt), 72000.0);
    EXPECT_EQ(regs().f64At(PurgeSecAt), 5400.0);
    EXPECT_EQ(regs().u8At(PurgeTypeAt), 1);
}

TEST_F(NetOilWindowTest, WellCfgKeepsUnknownCodesAndRestoresTheAccessLevel)
{
    regs().setU8At(PurgeTypeAt, 7);
    regs().setU8At(NoOfDumpAt, 42);
    for (const bool refused : {true, false}) {
        session.setAccessLevel(Session::Viewer);
        auto w = openWindow<TfrmWellCfg>();
        pick(control<QComboBox>(w.get(), "cboPurgeTime"), QStringLiteral("4  Hours"));
        if (refused)
            refuse(WellTestParams, WellTestParams + 14);
        click(w.get(), "btnApply");
        simulator->transmitter()->setFaults({});
        EXPECT_EQ(session.accessLevel(), Session::Viewer) << refused;
        EXPECT_EQ(regs().f64At(TestSecAt), refused ? 3600.0 : 14400.0);
        EXPECT_EQ(regs().u8At(PurgeTypeAt), 7);
        EXPECT_EQ(regs().u8At(NoOfDumpAt), 42);
    }
}

// Every net-oil window: nothing can be changed while a well test runs, nor when the
// transmitter does not say whether one runs.
TEST_F(NetOilWindowTest, LockedWhileAWellTestRunsOrTheFlagCannotBeRead)
{
    enum class Flag { Off, On, Unreadable };
    for (const NetOilWindow &win : netOilWindows) {
        for (const Flag flag : {Flag::Off, Flag::On, Flag::Unreadable}) {
            device().setCoil(WellTesting::RunningCoil, flag == Flag::On);
            prompter.messages.clear();
            if (flag == Flag::Unreadable) {
                sim::Faults f;
                f.corruptChecksum = true;
                simulator->transmitter()->setFaults(f);
            }
            auto w = openMade(win.make);
            simulator->transmitter()->setFaults({});
            for (const char *name : win.locked)
                EXPECT_EQ(control<QWidget>(w.get(), name)->isEnabled(), flag == Flag::Off) << win.name << " " << name;
            EXPECT_FALSE(control<QPushButton>(w.get(), "btnApply")->isEnabled()) << win.name;
            if (flag == Flag::Unreadable) {
                EXPECT_TRUE(prompter.shown(WellTesting::UnknownText)) << win.name;
            }
            if (flag == Flag::On) {
                EXPECT_TRUE(prompter.shownWithTitle(WellTesting::InProgressTitle)) << win.name;
            }
        }
    }
}

TEST(WellDensity, ApiVectorsAndCellPatterns)
{
    const struct {
        double value;
        int from, to, stdTemp;
        double expected;
    } cases[] = {
        // The API vectors themselves are the gravity conversion's; here the unit and
        // the standard temperature must reach it.
        {1.0, 0, WellDensity::Api, 1, 9.864443}, {9.8767535, WellDensity::Api, 0, 0, 1.0},
        {1.0, 0, 2, 0, 1000.0},                  {62.42796, 1, 0, 0, 1.0},
    };
    for (const auto &c : cases) {
        const double gcc = WellDensity::toGcc(c.value, c.from, c.stdTemp);
        EXPECT_NEAR(WellDensity::fromGcc(gcc, c.to, c.stdTemp), c.expected, 1e-5) << c.value << " " << c.from;
    }
    EXPECT_FALSE(std::isfinite(WellDensity::toGcc(-131.5, WellDensity::Api, 0)));

    const struct {
        int unit;
        const char *text;
        bool accepted;
    } cells[] = {{0, "4.9999", true},   {0, "12.5", false},  {0, "1.23456", false},
                 {2, "9999.9999", true}, {2, "-1", false},    {3, "100.0", false}};
    for (const auto &c : cells) {
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(WellDensity::cellPattern(c.unit)));
        EXPECT_EQ(pattern.match(QLatin1String(c.text)).hasMatch(), c.accepted) << c.unit << " " << c.text;
    }
    EXPECT_TRUE(WellDensity::cellPattern(WellDensity::Api).isEmpty());
}

// Every unit, °API included, must stand for 0 < density < 5 g/cc once converted.
TEST_F(NetOilWindowTest, WellTableLimitsThroughTheConversion)
{
    regs().setU8At(WellUnitAt, 9);  // a unit outside the list: kept, cells in g/cc
    auto w = openWindow<TfrmWellInfo>();
    auto *grid = control<QTableWidget>(w.get(), "grdWellData");
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("0.8500"));
    const struct {
        const char *unit, *typed, *shown;
        bool refused;
    } cases[] = {{"g/cc", "5.0", "0.0000", true},       {"g/cc", "4.9999", "4.9999", false},
                 {"g/cc", "0", "0.0000", true},         {"kg/m3", "5000", "0.0000", true},
                 {"°API", "-130", "200.0000", true},    {"°API", "200", "200.0000", true},
                 {"°API", "-131.5", "200.0000", true}, {"°API", "-500", "200.0000", true},
                 {"°API", "9.8767535", "9.8767535", false}};
    for (const auto &c : cases) {
        if (textOf(w.get(), "cboDensUnit") != QString::fromUtf8(c.unit))
            pick(control<QComboBox>(w.get(), "cboDensUnit"), QString::fromUtf8(c.unit));
        prompter.messages.clear();
        enterInCell(grid, 1, 2, QLatin1String(c.typed));
        EXPECT_EQ(grid->item(1, 2)->text(), QLatin1String(c.shown)) << c.unit << " " << c.typed;
        EXPECT_EQ(prompter.shown(TfrmWellInfo::RangeText), c.refused) << c.unit << " " << c.typed;
    }
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("34.8256"));
    // A value typed into a cell whose editor is still open counts too.
    typeInCell(grid, 2, 1, QStringLiteral("-130"));
    prompter.messages.clear();
    alt(w.get(), Qt::Key_A);
    EXPECT_TRUE(prompter.shown(TfrmWellInfo::RangeText));
    EXPECT_EQ(regs().f64At(oilAt(3)), 0.0);
    EXPECT_NEAR(regs().f64At(waterAt(2)), 1.0, 1e-9);
    EXPECT_EQ(regs().f64At(oilAt(1)), 0.85);  // untouched: as read, to the bit
    EXPECT_EQ(regs().u8At(WellUnitAt), WellDensity::Api);
    EXPECT_TRUE(deviceCoil(WellTesting::ReadNetOilCoil) || forcedOn(takeRequests()).contains(WellTesting::ReadNetOilCoil));
}

TEST_F(NetOilWindowTest, NetOilShrinkageWellAndCodesKept)
{
    regs().setU8At(MeasParamAt, 9);
    regs().setU8At(StdTempAt, 7);
    regs().setF64At(waterAt(5), 0.0);
    auto w = openWindow<TfrmNetOil>();
    const struct {
        const char *typed;
        bool refused;
        double kept;
    } shrink[] = {{"0.5", false, 0.5}, {"0.49", true, 0.5}, {"1.5", false, 1.5}, {"1.51", true, 1.5}};
    for (const auto &c : shrink) {
        prompter.messages.clear();
        type(w.get(), "txtShrinkFactor", QLatin1String(c.typed));
        EXPECT_EQ(prompter.shownWithTitle(TfrmNetOil::ShrinkageTitle), c.refused) << c.typed;
        EXPECT_EQ(numberOf(w.get(), "txtShrinkFactor"), c.kept) << c.typed;
    }
    // A well without densities is refused and the one before comes back.
    pick(control<QComboBox>(w.get(), "cboWellNum"), QStringLiteral("Well #3"));
    pick(control<QComboBox>(w.get(), "cboWellNum"), QStringLiteral("Well #5"));
    EXPECT_EQ(textOf(w.get(), "cboWellNum"), QStringLiteral("Well #3"));
    pick(control<QComboBox>(w.get(), "cboNetParam"), QStringLiteral("Net Water"));
    type(w.get(), "txtHiAlarmSet", QStringLiteral("12"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().f64At(ShrinkageAt), 1.5);
    EXPECT_EQ(regs().u8At(WellNoAt), 3);
    EXPECT_EQ(regs().u8At(MeasParamAt), 9);
    EXPECT_EQ(regs().u8At(StdTempAt), 7);
    // Shown in the block's own unit, written back in base units.
    auto again = openWindow<TfrmNetOil>();
    pick(control<QComboBox>(again.get(), "cboNetParam"), QStringLiteral("Net Water"));
    EXPECT_NEAR(numberOf(again.get(), "txtHiAlarmSet"), 12.0, 1e-3);
    EXPECT_NE(regs().f64At(2 * NetWaterBlock + 18), 12.0);
}

// A failed read or a refused write leaves the transmitter as it was.
TEST_F(NetOilWindowTest, FailuresLeaveTheTransmitterAsItWas)
{
    for (const NetOilWindow &win : netOilWindows) {
        for (const bool readFails : {true, false}) {
            prompter.messages.clear();
            const QByteArray before = regs().bytes();
            if (readFails)
                refuse(win.first, win.last);
            auto w = openMade(win.make);
            win.edit(w.get());
            if (!readFails)
                refuse(win.first, win.last);
            control<QPushButton>(w.get(), "btnApply")->click();
            settle();
            simulator->transmitter()->setFaults({});
            EXPECT_EQ(regs().bytes(), before) << win.name << readFails;
            // The well-test block is read again just before it is written; the windows
            // that write several blocks may have had the first ones taken.
            const bool wellCfg = std::string_view(win.name) == "WellCfg";
            const bool told = readFails ? prompter.shown(ConfigWindow::NotReadText)
                              : wellCfg ? prompter.shown(ConfigWindow::ReadFailedText)
                                        : prompter.shown(ConfigWindow::WriteFailedText)
                                              || prompter.shown(ConfigWindow::PartlyWrittenText);
            EXPECT_TRUE(told) << win.name << readFails << prompter.texts().join("|").toStdString();
        }
    }
}

// Whatever is clicked or typed, nothing reaches the well-test block while a test
// runs. When none runs, only the five settings change: the counters of a test that
// has ended since the window read them go back as the transmitter now has them.
TEST_F(NetOilWindowTest, WellCfgNeverWritesDuringATestNorItsStaleCounters)
{
    regs().setU16At(PurgingFlagAt, 1);
    regs().setU8At(PurgeDumpLeftAt, 2);
    auto w = openWindow<TfrmWellCfg>();
    regs().setU16At(PurgingFlagAt, 0);
    regs().setU8At(PurgeDumpLeftAt, 0);
    pick(control<QComboBox>(w.get(), "cboPurgeTime"), QStringLiteral("8  Hours "));
    alt(w.get(), Qt::Key_A);
    EXPECT_EQ(regs().f64At(TestSecAt), 28800.0);
    EXPECT_EQ(regs().u16At(PurgingFlagAt), 0);
    EXPECT_EQ(regs().u8At(PurgeDumpLeftAt), 0);

    // A test is started from the transmitter's panel.
    device().setCoil(WellTesting::RunningCoil, true);
    pick(control<QComboBox>(w.get(), "cboPurgeTime"), QStringLiteral("12 Hours"));
    takeRequests();
    prompter.messages.clear();
    control<QPushButton>(w.get(), "btnApply")->click();
    settle();
    alt(w.get(), Qt::Key_A);
    control<QPushButton>(w.get(), "btnUndo")->click();
    alt(w.get(), Qt::Key_U);
    EXPECT_FALSE(wroteTo(takeRequests(), WellTestParams, WellTestParams + 14));
    EXPECT_EQ(regs().f64At(TestSecAt), 28800.0);
    EXPECT_TRUE(prompter.shownWithTitle(WellTesting::InProgressTitle));
    for (const char *name : {"btnApply", "btnUndo", "cboPurgeTime", "cboWellNum"})
        EXPECT_FALSE(control<QWidget>(w.get(), name)->isEnabled()) << name;
}

// Alt+A keeps the focus where the user types: what is typed there is applied, and
// what nobody typed in goes back exactly as read.
TEST_F(NetOilWindowTest, AltATakesWhatIsTypedAndLeavesTheRestAsRead)
{
    regs().setF64At(PurgeSecAt, 90.0);  // shown "00:01"
    auto cfg = openWindow<TfrmWellCfg>();
    pick(control<QComboBox>(cfg.get(), "cboPurgeTime"), QStringLiteral("4  Hours"));
    alt(cfg.get(), Qt::Key_A);
    EXPECT_EQ(regs().f64At(PurgeSecAt), 90.0);
    pick(control<QComboBox>(cfg.get(), "cboPurgeType"), QStringLiteral("Elapsed Time"));
    typeIn(cfg.get(), "txtEditPurgeTime", QStringLiteral("0130"));
    alt(cfg.get(), Qt::Key_A);
    EXPECT_EQ(regs().f64At(PurgeSecAt), 5400.0);

    const int fallbackAt = 2 * NetOilBlock + 2;
    regs().setF64At(fallbackAt, 123.456789012);
    auto netOil = openWindow<TfrmNetOil>();
    typeIn(netOil.get(), "txtShrinkFactor", QStringLiteral("0.75"));
    alt(netOil.get(), Qt::Key_A);
    EXPECT_EQ(regs().f64At(ShrinkageAt), 0.75);
    EXPECT_EQ(regs().f64At(fallbackAt), 123.456789012);
}

// Volume and mass have lists of their own: a basis change puts each block on the
// new list's first unit (and back on its own when the basis returns).
TEST_F(NetOilWindowTest, ABasisChangeNeverWritesAUnitIndexOutsideTheNewList)
{
    const struct {
        int basis, unit, toBasis, written;
    } cases[] = {{0, 16, 1, 0}, {0, 17, 1, 0}, {1, 3, 0, 0}, {0, 16, 0, 16}};
    for (const auto &c : cases) {
        regs().setU8At(MeasParamAt, uint8_t(c.basis));
        for (int block : {NetOilBlock, NetWaterBlock})
            regs().setU8At(2 * block, uint8_t(c.unit));
        auto w = openWindow<TfrmNetOil>();
        auto *net = control<QComboBox>(w.get(), "cboNet");
        pick(net, net->itemText(1 - c.basis));
        pick(net, net->itemText(c.toBasis));
        const int code = c.toBasis == 1 ? 5 : 7;
        EXPECT_EQ(textOf(w.get(), "lblFallbackUnit"), UnitTextFor(code, c.written)) << c.basis << " " << c.unit;
        alt(w.get(), Qt::Key_A);
        for (int block : {NetOilBlock, NetWaterBlock})
            EXPECT_EQ(regs().u8At(2 * block), c.written) << c.basis << " " << c.unit << " " << block;
        EXPECT_LT(c.written, UnitListFor(code).size());
    }
}

// Undo after Apply gives the transmitter back what the window read, in each window.
TEST_F(NetOilWindowTest, UndoAfterApplyWritesWhatWasRead)
{
    const auto netOilArea = [this] { return regs().bytes().mid(2 * NetOilBlock, 2 * (WellTestParams + 15 - NetOilBlock)); };
    for (const NetOilWindow &win : netOilWindows) {
        const QByteArray before = netOilArea();
        auto w = openMade(win.make);
        win.edit(w.get());
        alt(w.get(), Qt::Key_A);
        EXPECT_NE(netOilArea(), before) << win.name;
        alt(w.get(), Qt::Key_U);
        EXPECT_EQ(netOilArea(), before) << win.name;
    }
}
