#include "SimWindowTest.h"
#include "WidgetQuery.h"
#include "frmViewAlarmLog.h"
#include "frmViewErrorLog.h"

#include <QPushButton>
#include <QTableWidget>

#include <memory>

namespace {
QString cell(QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}
}  // namespace

class AlarmLogTest : public SimWindowTest {
protected:
    void SetUp() override
    {
        SimWindowTest::SetUp();
        for (int i = 0; i < 42; ++i)
            regs().setU16At(2 * (374 + i), 0);
        for (int i = 0; i < 21; ++i)
            regs().setU16At(2 * (2444 + i), 7);
        regs().setU8At(2 * 680, 4);  // mass flow in kg/min
        // Mass flow (row 4): counted 5 times, now 1 lb/sec, peak 2 lb/sec, in alarm.
        regs().setU16At(2 * (374 + 2 * 3), 5);
        regs().setF64At(2 * 252, 1.0);
        regs().setU16At(2 * 252 + 8, 1);
        regs().setF64At(2 * 252 + 10, 2.0);
        // Sensor error (row 11): counted, no value.
        regs().setU16At(2 * (374 + 2 * 10), 2);
        // Density (row 2): counted with an unknown status number.
        regs().setU16At(2 * (374 + 2 * 1), 1);
        regs().setU16At(2 * 270 + 8, 9);
    }
    std::unique_ptr<TfrmViewAlarmLog> openView()
    {
        auto w = std::make_unique<TfrmViewAlarmLog>(*link, session);
        open(w.get());
        return w;
    }
};

TEST_F(AlarmLogTest, GridShowsCountsValuesUnitsAndStatuses)
{
    auto w = openView();
    QTableWidget *g = w->grid();
    EXPECT_EQ(g->rowCount(), 21);
    EXPECT_EQ(cell(g, 3, 0), "Mass Flow");
    EXPECT_EQ(cell(g, 3, 1), "5");
    EXPECT_NEAR(cell(g, 3, 2).toDouble(), 2 * 27.21554244, 1e-3);
    EXPECT_NEAR(cell(g, 3, 3).toDouble(), 27.21554244, 1e-3);
    EXPECT_EQ(cell(g, 3, 4), "kg/min");
    EXPECT_EQ(cell(g, 3, 5), "Alarm");

    EXPECT_EQ(cell(g, 10, 0), "Sensor Error");
    EXPECT_EQ(cell(g, 10, 1), "2");
    EXPECT_EQ(cell(g, 10, 2), "");
    EXPECT_EQ(cell(g, 1, 5), "9");

    EXPECT_EQ(cell(g, 0, 0), "Temperature");
    for (int c = 1; c < 6; ++c)
        EXPECT_EQ(cell(g, 0, c), "") << c;
    EXPECT_EQ(cell(g, 17, 0), "Pulse Buffer Overflow");
}

TEST_F(AlarmLogTest, CloseReportsTheSeenAlarmsWithAPrivilegedWrite)
{
    session.setAccessLevel(Session::Viewer);
    auto w = openView();
    takeRequests();
    control<QPushButton>(w.get(), "btnClose")->click();
    EXPECT_FALSE(w->isVisible());
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(regs().reg(2444 + i), (i == 1 || i == 3 || i == 10) ? 1 : 0) << "alarm " << i;
    EXPECT_TRUE(forcedOn(takeRequests()).contains(62));
    // What was lent for the write is given back.
    EXPECT_EQ(session.accessLevel(), Session::Viewer);
    EXPECT_FALSE(link->CommOverride());
}

TEST_F(AlarmLogTest, AnOverrideAlreadyHeldWritesWithoutTheCoil)
{
    link->setCommOverride(true);
    auto w = openView();
    takeRequests();
    control<QPushButton>(w.get(), "btnClose")->click();
    const auto requests = takeRequests();
    bool wrote = false;
    for (const WireRequest &r : requests)
        wrote = wrote || (r.function == 16 && r.address == 2444 && r.count == 21);
    EXPECT_TRUE(wrote);
    EXPECT_FALSE(forcedOn(requests).contains(62));
    EXPECT_TRUE(link->CommOverride());
}

class ErrorLogTest : public SimWindowTest {
protected:
    void setLog(int pointer, const QList<uint16_t> &entries)
    {
        for (int i = 0; i < 49; ++i)
            regs().setU16At(2 * (325 + i), 0);
        regs().setU16At(2 * 325, uint16_t(pointer));
        for (int i = 0; i < entries.size(); ++i)
            regs().setU16At(2 * (326 + i), entries[i]);
    }
    std::unique_ptr<TfrmViewErrorLog> openView()
    {
        auto w = std::make_unique<TfrmViewErrorLog>(*link, session);
        open(w.get());
        return w;
    }
};

TEST_F(ErrorLogTest, EntriesAreListedNewestFirst)
{
    setLog(2, {0x0103, 0x0907, 0x0E02});
    auto w = openView();
    QTableWidget *g = w->grid();
    ASSERT_EQ(g->rowCount(), 3);
    EXPECT_EQ(cell(g, 0, 0), "3");
    EXPECT_EQ(cell(g, 0, 1), "2");
    EXPECT_EQ(cell(g, 0, 2), "14");
    EXPECT_EQ(cell(g, 0, 3), "TASK HAS BAD REV NO");
    EXPECT_EQ(cell(g, 1, 2), "9");
    EXPECT_EQ(cell(g, 1, 3), "RTD FAILURE");
    EXPECT_EQ(cell(g, 1, 1), "7");
    EXPECT_EQ(cell(g, 2, 0), "1");
    EXPECT_EQ(cell(g, 2, 3), "DSP COMM FAILURE #1");
}

TEST_F(ErrorLogTest, PointerAtTheEndAndDamagedPointersStayInsideTheLog)
{
    setLog(48, {0x0500});
    auto w = openView();
    ASSERT_EQ(w->grid()->rowCount(), 1);
    EXPECT_EQ(cell(w->grid(), 0, 0), "1");
    EXPECT_EQ(cell(w->grid(), 0, 3), "DSP CHECKSUM ERROR");

    setLog(0xFFFF, {0x2000});
    auto damaged = openView();
    ASSERT_EQ(damaged->grid()->rowCount(), 48);
    EXPECT_EQ(cell(damaged->grid(), 47, 0), "1");
    EXPECT_EQ(cell(damaged->grid(), 47, 2), "32");
    EXPECT_EQ(cell(damaged->grid(), 47, 3), "");
}

TEST_F(ErrorLogTest, ClearEmptiesTheLogAfterConfirmation)
{
    setLog(2, {0x0103, 0x0907, 0x0E02});
    auto w = openView();
    takeRequests();
    prompter.answers = {Prompter::IdCancel};
    control<QPushButton>(w.get(), "btnClear")->click();
    EXPECT_TRUE(takeRequests().isEmpty());
    EXPECT_EQ(regs().reg(325), 2);

    prompter.answers = {Prompter::IdOK};
    control<QPushButton>(w.get(), "btnClear")->click();
    EXPECT_EQ(prompter.messages.last().title, "Clear Error Log");
    EXPECT_EQ(prompter.messages.last().text, "Are you sure?");
    const auto requests = takeRequests();
    EXPECT_TRUE(forcedOn(requests).contains(54));
    EXPECT_EQ(w->grid()->rowCount(), 1);
    EXPECT_EQ(cell(w->grid(), 0, 3), "<NO ERRORS LOGGED>");
}

TEST_F(ErrorLogTest, ClearBelowProgrammerLevelIsRefusedWithANotice)
{
    setLog(1, {0x0103, 0x0907});
    session.setAccessLevel(Session::Viewer);
    auto w = openView();
    takeRequests();
    prompter.answers = {Prompter::IdOK};
    control<QPushButton>(w.get(), "btnClear")->click();
    EXPECT_TRUE(takeRequests().isEmpty());
    EXPECT_EQ(regs().reg(325), 1);
    ASSERT_FALSE(prompter.messages.isEmpty());
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("access level")));
    EXPECT_EQ(w->grid()->rowCount(), 2);
}
