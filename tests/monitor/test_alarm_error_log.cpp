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
    std::unique_ptr<TfrmViewAlarmLog> openView() { return openOnLink<TfrmViewAlarmLog>(); }
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

// Close reports the seen alarms: a viewer is lent write access and the override
// coil for the write and both are given back; an override already held is used as is.
TEST_F(AlarmLogTest, CloseReportsTheSeenAlarmsWithAPrivilegedWrite)
{
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "override held" : "viewer");
        for (int i = 0; i < 21; ++i)
            regs().setU16At(2 * (2444 + i), 7);
        session.setAccessLevel(held ? Session::Programmer : Session::Viewer);
        link->setCommOverride(held);
        auto w = openView();
        takeRequests();
        control<QPushButton>(w.get(), "btnClose")->click();
        EXPECT_FALSE(w->isVisible());
        for (int i = 0; i < 21; ++i)
            EXPECT_EQ(regs().reg(2444 + i), (i == 1 || i == 3 || i == 10) ? 1 : 0) << "alarm " << i;
        EXPECT_EQ(forcedOn(takeRequests()).contains(62), !held);
        EXPECT_EQ(session.accessLevel(), held ? Session::Programmer : Session::Viewer);
        EXPECT_EQ(link->CommOverride(), held);
    }
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
    std::unique_ptr<TfrmViewErrorLog> openView() { return openOnLink<TfrmViewErrorLog>(); }
};

// Newest first from the entry after the pointer backwards; a pointer at the end or
// outside the log never reads past it.
TEST_F(ErrorLogTest, EntriesAreListedNewestFirstAndStayInsideTheLog)
{
    const struct {
        int pointer;
        QList<uint16_t> entries;
        int rows;
        QStringList last;  // number, subtask, task and text of the oldest row
    } cases[] = {
        {2, {0x0103, 0x0907, 0x0E02}, 3, {"1", "3", "1", "DSP COMM FAILURE #1"}},
        {48, {0x0500}, 1, {"1", "0", "5", "DSP CHECKSUM ERROR"}},
        {0xFFFF, {0x2000}, 48, {"1", "0", "32", ""}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pointer);
        setLog(c.pointer, c.entries);
        auto w = openView();
        QTableWidget *g = w->grid();
        ASSERT_EQ(g->rowCount(), c.rows);
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(cell(g, c.rows - 1, column), c.last[column]) << column;
    }
    setLog(2, {0x0103, 0x0907, 0x0E02});
    auto w = openView();
    EXPECT_EQ(cell(w->grid(), 0, 0), "3");
    EXPECT_EQ(cell(w->grid(), 0, 1), "2");
    EXPECT_EQ(cell(w->grid(), 0, 2), "14");
}

// Clear asks first and needs the programmer level; Cancel or a lower level leave the log.
TEST_F(ErrorLogTest, ClearEmptiesTheLogOnlyWhenConfirmedAtProgrammerLevel)
{
    const struct {
        int level, answer;
        const char *said;
    } cases[] = {{Session::Programmer, Prompter::IdCancel, "Are you sure?"},
                 {Session::Viewer, Prompter::IdOK, "access level"},
                 {Session::Programmer, Prompter::IdOK, "Are you sure?"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.said);
        const bool cleared = c.level == Session::Programmer && c.answer == Prompter::IdOK;
        setLog(2, {0x0103, 0x0907, 0x0E02});
        session.setAccessLevel(c.level);
        auto w = openView();
        const QString newest = cell(w->grid(), 0, 3);
        takeRequests();
        prompter.answers = {c.answer};
        control<QPushButton>(w.get(), "btnClear")->click();
        EXPECT_TRUE(prompter.lastText().contains(QLatin1String(c.said))) << prompter.lastText().toStdString();
        const auto requests = takeRequests();
        EXPECT_EQ(requests.isEmpty(), !cleared);
        EXPECT_EQ(forcedOn(requests).contains(54), cleared);
        EXPECT_EQ(w->grid()->rowCount(), cleared ? 1 : 3);
        EXPECT_EQ(cell(w->grid(), 0, 3), cleared ? QStringLiteral("<NO ERRORS LOGGED>") : newest);
    }
    EXPECT_EQ(prompter.messages.last().title, "Clear Error Log");
}
