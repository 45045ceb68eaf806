// The rules of the transmitter-variable, flow-direction, output and table
// windows; what every configuration window shares is tested with the others.
#include "ConfigWindowTest.h"
#include "SimTransmitter.h"
#include "StandardDensityTableWindow.h"
#include "TfrmConcentrationTable.h"
#include "TfrmConfigAnalog.h"
#include "TfrmFlowDirection.h"
#include "TfrmPulseOutput.h"
#include "TfrmXmitVars.h"
#include "ConfigWindow.h"
#include "Prompter.h"
#include "ShownUnit.h"

#include <QPushButton>
#include <QTableWidget>

TEST_F(ConfigWindowTest, XmitVarsDampingAgainstRateFactor)
{
    // Typed in this order, one window after the other; the check runs as each field is left.
    struct Case {
        const char *damping, *rate;
        bool refused;
        int dampingWritten, rateWritten;
    };
    const Case cases[] = {{"4", "4", false, 4, 4}, {"3", "4", true, 4, 4}, {"9", "2", false, 9, 2}};
    for (const Case &c : cases) {
        auto w = openWindow<TfrmXmitVars>();
        prompter.messages.clear();
        type(w.get(), "txtNoiseFactor", QString::fromLatin1(c.damping));
        type(w.get(), "txtRateFactor", QString::fromLatin1(c.rate));
        EXPECT_EQ(prompter.shownWithTitle(TfrmXmitVars::DampingErrorTitle), c.refused) << c.damping << "/" << c.rate;
        click(w.get(), "btnApply");
        EXPECT_EQ(regs().u8At(2 * 680 + 1), c.dampingWritten);
        EXPECT_EQ(regs().u8At(2 * 3380), c.rateWritten);
    }
    // A factor that does not fit its byte never reaches the transmitter.
    auto w = openWindow<TfrmXmitVars>();
    type(w.get(), "txtNoiseFactor", QStringLiteral("300"));
    EXPECT_EQ(textOf(w.get(), "txtNoiseFactor"), QStringLiteral("9"));
    EXPECT_EQ(status, QStringLiteral("Invalid Damp Factor, old value restored!"));
    // The threshold is a percentage sent as a fraction.
    type(w.get(), "txtThreshold", QStringLiteral("5"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().read(3380 + 2, 4), QByteArray::fromHex("3D4CCCCD"));
}

TEST_F(ConfigWindowTest, FlowDirectionChangesOnceAndReversesTheTotals)
{
    const int totals[] = {244, 279, 296, 416, 442, 313};
    for (int t : totals) {
        regs().setF64At(2 * t, 120.0);
        regs().setF64At(2 * t + 8, 100.0);
    }
    auto w = openWindow<TfrmFlowDirection>();
    auto *direction = control<QComboBox>(w.get(), "cboDirection");
    EXPECT_EQ(direction->currentText(), QStringLiteral("Forward"));
    pick(direction, QStringLiteral("Reverse"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().reg(880), 0x0100);
    for (int t : totals) {
        EXPECT_EQ(regs().f64At(2 * t), -120.0) << t;
        EXPECT_EQ(regs().f64At(2 * t + 8), -20.0) << t;
    }
    // Reverse again: already in force, nothing is written.
    takeRequests();
    pick(direction, QStringLiteral("Reverse"));
    click(w.get(), "btnApply");
    EXPECT_TRUE(takeRequests().isEmpty());
    // Undo goes back to the direction read and reverses the totals back.
    click(w.get(), "btnUndo");
    EXPECT_EQ(regs().reg(880), 0x0000);
    EXPECT_EQ(regs().f64At(2 * 244), 120.0);
    EXPECT_EQ(regs().f64At(2 * 244 + 8), 100.0);
}

TEST_F(ConfigWindowTest, FlowDirectionRefusedPartWayIsFinishedOrUndoneExactly)
{
    const int totals[] = {244, 279, 296, 416, 442, 313};
    const auto signs = [&] {
        QList<double> out;
        for (int t : totals)
            out << regs().f64At(2 * t);
        return out;
    };
    const QList<double> partly = {-120, -120, -120, 120, 120, 120};
    // The fourth total refused: the next Apply reverses the rest, or Undo only the three.
    for (const char *next : {"btnApply", "btnUndo"}) {
        SCOPED_TRACE(next);
        for (int t : totals)
            regs().setF64At(2 * t, 120.0);
        regs().setU16At(2 * 880, 0);
        auto w = openWindow<TfrmFlowDirection>();
        pick(control<QComboBox>(w.get(), "cboDirection"), QStringLiteral("Reverse"));
        refuse(416, 423);
        click(w.get(), "btnApply");
        EXPECT_EQ(signs(), partly);
        EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("Reversed: Mass, Volume, Std Volume.")));
        EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("Not reversed: Concentrate, Net Oil, Batch.")));
        simulator->transmitter()->setFaults({});
        click(w.get(), next);
        const bool undone = QByteArray(next) == "btnUndo";
        EXPECT_EQ(signs(), QList<double>(6, undone ? 120.0 : -120.0));
        EXPECT_EQ(regs().reg(880), undone ? 0x0000 : 0x0100);
    }
}

TEST_F(ConfigWindowTest, PulseOutputScalesTotalsAndCountsPulses)
{
    auto w = openWindow<TfrmPulseOutput>();
    // Pulses per kg are kept per lb.
    pick(control<QComboBox>(w.get(), "cboParam"), QStringLiteral("Mass Total"));
    EXPECT_EQ(textOf(w.get(), "txtUnit"), QStringLiteral("kg"));
    type(w.get(), "txtPulses", QStringLiteral("1000"));
    click(w.get(), "btnApply");
    EXPECT_NEAR(regs().f64At(2 * 983 + 18), 453.592374, 1e-9);
    EXPECT_EQ(regs().u8At(2 * 983), 6);
    EXPECT_EQ(regs().u8At(2 * 983 + 1), 1);
    EXPECT_TRUE(forcedOn(takeRequests()).contains(47));

    // A fixed count goes out as 16 bits; a count that does not fit is refused.
    pick(control<QComboBox>(w.get(), "cboParam"), QStringLiteral("Keyboard Data"));
    type(w.get(), "txtPulses", QStringLiteral("1000"));
    type(w.get(), "txtPulses", QStringLiteral("99999"));
    EXPECT_EQ(textOf(w.get(), "txtPulses"), QStringLiteral("1000"));
    EXPECT_EQ(status, QStringLiteral("Invalid Number of Pulses, old value restored!"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().u16At(2 * 983 + 50), 0x03E8);
    EXPECT_EQ(regs().u8At(2 * 983 + 1), 2);
}

TEST_F(ConfigWindowTest, AnalogOutputsWaterCutAndNetOilBasis)
{
    auto w = openWindow<TfrmConfigAnalog>();
    pick(control<QComboBox>(w.get(), "cboParam"), QStringLiteral("% Water Cut"));
    EXPECT_EQ(textOf(w.get(), "lblLRangeUnit"), QStringLiteral("  %"));
    type(w.get(), "txtLRange", QStringLiteral("10"));
    type(w.get(), "txtURange", QStringLiteral("90"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().f64At(2 * 881), 10.0);
    EXPECT_EQ(regs().f64At(2 * 881 + 8), 90.0);
    EXPECT_EQ(regs().u8At(2 * 881 + 66), 50);

    // Net oil measured by mass: its ranges are shown in the mass-rate unit.
    regs().setU8At(2 * 1707 + 8, 1);
    regs().setU8At(2 * 1673, 4);  // kg/min
    auto massBasis = openWindow<TfrmConfigAnalog>();
    pick(control<QComboBox>(massBasis.get(), "cboParam"), QStringLiteral("Net Oil Flow"));
    EXPECT_EQ(textOf(massBasis.get(), "lblURangeUnit"), QStringLiteral("kg/min"));
}

TEST_F(ConfigWindowTest, ConcentrationTablesInTheTransmittersUnitsAndAllOrNothing)
{
    regs().setU8At(2 * 714, 1);  // °F
    auto w = openWindow<TfrmConcentrationTable>();
    auto *temp1 = control<QTableWidget>(w.get(), "grdTemp1");
    EXPECT_EQ(temp1->item(0, 0)->text().toDouble(), 68.0);
    EXPECT_EQ(control<QTableWidget>(w.get(), "grdDens1")->horizontalHeaderItem(1)->text(), QStringLiteral("    %"));

    // A cell that is not a number: nothing at all is written.
    const QByteArray before = regs().bytes();
    control<QTableWidget>(w.get(), "grdDens1")->item(0, 1)->setText(QStringLiteral("1"));
    control<QTableWidget>(w.get(), "grdDens5")->item(3, 0)->setText(QStringLiteral("abc"));
    click(w.get(), "btnApply");
    EXPECT_TRUE(prompter.shown(QStringLiteral("'abc' is not a valid floating point value")));
    EXPECT_EQ(regs().bytes(), before);

    // Table 2 starts with 0 and 0: written as empty; table 1 is not.
    control<QTableWidget>(w.get(), "grdDens5")->item(3, 0)->setText(QString());
    takeRequests();
    click(w.get(), "btnApply");
    EXPECT_TRUE(forcedOn(takeRequests()).contains(49));
    EXPECT_EQ(regs().f64At(2 * 1088), 20.0);
    EXPECT_EQ(regs().f64At(2 * 1088 + 120), 1.0);
    EXPECT_EQ(regs().u8At(2 * 1088 + 232), 0);
    EXPECT_EQ(regs().u8At(2 * 1205 + 232), 1);
    click(w.get(), "btnUndo");
    EXPECT_EQ(regs().bytes(), before);
}

TEST_F(ConfigWindowTest, SpecialApiPagesAndName)
{
    auto w = openWindow<TfrmSpecialAPI>();
    EXPECT_EQ(textOf(w.get(), "txtSAPIName"), QStringLiteral("Crude oil 15C"));
    click(w.get(), "NextPrevButton");
    EXPECT_EQ(control<QPushButton>(w.get(), "NextPrevButton")->text(), QStringLiteral("Previous Page"));
    EXPECT_EQ(textOf(w.get(), "WhatPageLabel"), QStringLiteral("Page 2 of 2"));
    EXPECT_TRUE(control<QTableWidget>(w.get(), "grdDens5")->isVisibleTo(w.get()));
    EXPECT_FALSE(control<QTableWidget>(w.get(), "grdDens1")->isVisibleTo(w.get()));

    // The name keeps 18 characters and its zero byte; Undo writes it back as read.
    type(w.get(), "txtSAPIName", QStringLiteral("Light crude oil, 35 API"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().textAt(2 * 2465, 22), QStringLiteral("Light crude oil, 3"));
    EXPECT_EQ(regs().u8At(2 * 2465 + 18), 0);
    click(w.get(), "btnUndo");
    EXPECT_EQ(regs().textAt(2 * 2465, 22), QStringLiteral("Crude oil 15C"));
}

TEST_F(ConfigWindowTest, XmitVarsParameterListsAndUnitRules)
{
    {
        session.setDeviceModel(QStringLiteral("KRM410"));
        auto w = openWindow<TfrmXmitVars>();
        EXPECT_EQ(control<QComboBox>(w.get(), "cboParam")->count(), 4);
        session.setDeviceModel(QStringLiteral("Ostrel"));
    }
    auto w = openWindow<TfrmXmitVars>();
    auto *param = control<QComboBox>(w.get(), "cboParam");
    ASSERT_EQ(param->count(), 8);
    // The net-oil configuration is a window of this program: its item can be chosen.
    EXPECT_TRUE(param->model()->flags(param->model()->index(7, 0)).testFlag(Qt::ItemIsEnabled));

    // Concentration in BRIX while standard volume uses g/cc: the warning. Picking
    // the unit forces nothing; Apply asks first, since the transmitter then re-reads
    // its table and resets the concentrate total.
    pick(param, param->itemText(4));
    takeRequests();
    pick(control<QComboBox>(w.get(), "cboUnit"), QStringLiteral("BRIX"));
    EXPECT_TRUE(prompter.lastText().startsWith(QStringLiteral("Warning: Std Density Unit Not Sync.")));
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("Std Density Unit of g/cc was previously selected!")));
    EXPECT_TRUE(forcedOn(takeRequests()).isEmpty());
    const QByteArray concentration = regs().read(1054, 68);
    prompter.answers = {Prompter::IdCancel};
    click(w.get(), "btnApply");
    EXPECT_TRUE(prompter.shown(TfrmXmitVars::ConcentrationUnitText));
    EXPECT_EQ(regs().read(1054, 68), concentration);
    EXPECT_TRUE(forcedOn(takeRequests()).isEmpty());
    click(w.get(), "btnApply");
    EXPECT_EQ(forcedOn(takeRequests()), (QList<int>{49, 58}));
    EXPECT_NE(regs().read(1054, 68), concentration);

    // Standard density moved from a density unit to BRIX: the standard-volume total
    // is reset and the transmitter told of the change.
    pick(param, param->itemText(2));
    pick(control<QComboBox>(w.get(), "cboStdDensUnit"), QStringLiteral("BRIX"));
    EXPECT_FALSE(control<QLineEdit>(w.get(), "txtStdDensity")->isVisibleTo(w.get()));
    takeRequests();
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().u8At(2 * 816 + 66), 4);
    EXPECT_EQ(forcedOn(takeRequests()), (QList<int>{57, 64}));
}

TEST_F(ConfigWindowTest, XmitVarsParameterSwitchAsksAboutPendingEdits)
{
    struct Case {
        int answer;
        bool applied, switched;
    };
    const Case cases[] = {
        {Prompter::IdCancel, false, false}, {Prompter::IdNo, false, true}, {Prompter::IdYes, true, true}};
    const QByteArray massFlow = regs().read(680, 68);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer);
        auto w = openWindow<TfrmXmitVars>();
        type(w.get(), "txtLoAlarmSet", QStringLiteral("7"));
        prompter.answers = {c.answer};
        pick(control<QComboBox>(w.get(), "cboParam"), QStringLiteral("Volume Flow"));
        EXPECT_TRUE(prompter.shown(TfrmXmitVars::PendingEditsText));
        EXPECT_EQ(regs().read(680, 68) != massFlow, c.applied);
        EXPECT_EQ(textOf(w.get(), "cboParam"), c.switched ? QStringLiteral("Volume Flow") : QStringLiteral("Mass Flow"));
        if (!c.switched) {
            EXPECT_DOUBLE_EQ(numberOf(w.get(), "txtLoAlarmSet"), 7.0);  // the edit is kept
        }
        // Closing applies only what is pending for the parameter shown.
        w->close();
        settle();
        EXPECT_EQ(regs().read(680, 68) != massFlow, c.applied || !c.switched);
        regs().store(680, massFlow);
    }
}

TEST_F(ConfigWindowTest, AWriteTheAccessLevelForbidsSaysSo)
{
    session.setAccessLevel(Session::Viewer);
    const QByteArray before = regs().bytes();
    auto w = openTag(4575);
    type(w.get(), "txtAddress", QStringLiteral("7"));
    click(w.get(), "btnApply");
    EXPECT_TRUE(prompter.shown(ConfigWindow::AccessLevelText));
    EXPECT_FALSE(prompter.shown(ConfigWindow::WriteFailedText));
    EXPECT_EQ(regs().bytes(), before);
}

TEST_F(ConfigWindowTest, NoSpecialUnitWithoutItsFactor)
{
    regs().setU8At(2 * 1010, 5);  // alarm 1 on mass flow
    auto w = openTag(454);
    auto *unit = control<QComboBox>(w.get(), "cboUnit");
    const QString shown = unit->currentText(), low = textOf(w.get(), "txtLoAlarmSet");
    refuse(850, 864);
    pick(unit, QStringLiteral("Special"));
    EXPECT_TRUE(prompter.shown(ShownUnit::FactorUnreadText));
    EXPECT_EQ(unit->currentText(), shown);
    EXPECT_EQ(textOf(w.get(), "txtLoAlarmSet"), low);
}

TEST_F(ConfigWindowTest, XmitVarsCloseBoxAppliesTheFieldBeingTyped)
{
    auto w = openWindow<TfrmXmitVars>();
    typeIn(w.get(), "txtLoAlarmSet", QStringLiteral("7"));
    w->close();
    settle();
    auto again = openWindow<TfrmXmitVars>();
    EXPECT_DOUBLE_EQ(numberOf(again.get(), "txtLoAlarmSet"), 7.0);

    // Text that is no number keeps the window open with the field and its message.
    typeIn(again.get(), "txtLoAlarmSet", QStringLiteral("7..1"));
    again->close();
    settle();
    EXPECT_TRUE(again->isVisible());
    EXPECT_TRUE(control<QLineEdit>(again.get(), "txtLoAlarmSet")->hasFocus());
    EXPECT_EQ(status, QStringLiteral("Invalid Low Alarm Setpoint, old value restored!"));
}
