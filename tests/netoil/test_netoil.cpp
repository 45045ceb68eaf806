#include "SimTransmitter.h"
#include "SimWindowTest.h"
#include "TfrmWellCfg.h"
#include "WellTesting.h"
#include "WellTime.h"
#include "WidgetQuery.h"

#include <QPushButton>

#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr int WellTestParams = 2128;
constexpr int PurgeTypeAt = 2 * WellTestParams + 1, PurgeSecAt = 2 * WellTestParams + 2,
              TestSecAt = 2 * WellTestParams + 10, NoOfDumpAt = 2 * WellTestParams + 29;

class NetOilWindowTest : public SimWindowTest {
protected:
    WindowContext context() { return {*link, session, nullptr, [this](const QString &t) { status = t; }, {}}; }

    template <typename W>
    std::unique_ptr<W> openWindow()
    {
        auto w = std::make_unique<W>(context());
        open(w.get());
        return w;
    }
    static void type(QWidget *window, const char *field, const QString &text)
    {
        auto *edit = control<QLineEdit>(window, field);
        edit->setText(text);
        emit edit->textEdited(text);
        emit edit->editingFinished();
    }
    static void click(QWidget *window, const char *button)
    {
        auto *b = control<QPushButton>(window, button);
        ASSERT_TRUE(b->isEnabled()) << button;
        b->click();
        settle();
    }
    void refuse(int first, int last)
    {
        sim::Faults f;
        f.exceptionCode = 4;
        f.exceptionFirst = first;
        f.exceptionLast = last;
        simulator->transmitter()->setFaults(f);
    }

    QString status;
};

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
                 {72000, "20 Hours"},   {86400, "24 Hours"},  {3600, "Manual"},            {std::nan(""), "Manual"},
                 {-7200, "Manual"}};
    for (const auto &c : cases) {
        regs().setF64At(TestSecAt, c.testSec);
        auto w = openWindow<TfrmWellCfg>();
        EXPECT_EQ(textOf(w.get(), "cboPurgeTime"), QLatin1String(c.item)) << c.testSec;
    }
    // Picking an item sets the test time; the purge duration goes out in seconds.
    auto w = openWindow<TfrmWellCfg>();
    pick(control<QComboBox>(w.get(), "cboPurgeType"), QStringLiteral("Elapsed Time"));
    pick(control<QComboBox>(w.get(), "cboPurgeTime"), QStringLiteral("20 Hours"));
    type(w.get(), "txtEditPurgeTime", QStringLiteral("01:30"));
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
    const struct {
        const char *name;
        std::function<QDialog *(const WindowContext &)> make;
        std::vector<const char *> locked;
    } windows[] = {
        {"WellCfg", [](const WindowContext &c) { return new TfrmWellCfg(c); },
         {"cboWellNum", "cboPurgeType", "txtEditPurgeTime", "cboNumOfDump", "cboPurgeTime"}},
    };
    enum class Flag { Off, On, Unreadable };
    for (const auto &win : windows) {
        for (const Flag flag : {Flag::Off, Flag::On, Flag::Unreadable}) {
            device().setCoil(WellTesting::RunningCoil, flag == Flag::On);
            prompter.messages.clear();
            if (flag == Flag::Unreadable) {
                sim::Faults f;
                f.corruptChecksum = true;
                simulator->transmitter()->setFaults(f);
            }
            std::unique_ptr<QDialog> w(win.make(context()));
            open(w.get());
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
