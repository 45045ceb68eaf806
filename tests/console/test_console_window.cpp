#include "CommSetup.h"
#include "HexDump.h"
#include "IniFile.h"
#include "SimWindowTest.h"
#include "WidgetQuery.h"
#include "frmCoilStatus.h"
#include "frmModbusTest.h"

#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextCursor>

#include <memory>

class ConsoleTest : public SimWindowTest {
protected:
    void SetUp() override
    {
        SimWindowTest::SetUp();
        session.setAccessLevel(Session::Administrator);
        comm = std::make_unique<CommSetup>(*link, session, workDir.path());
        console = std::make_unique<TfrmModbusTest>(*comm);
        open(console.get());
        takeRequests();
    }
    void TearDown() override
    {
        console.reset();
        comm.reset();
        SimWindowTest::TearDown();
    }
    void setFields(int start, int count)
    {
        control<QLineEdit>(console.get(), "txtStartAddr")->setText(QString::number(start));
        control<QLineEdit>(console.get(), "txtNumRegs")->setText(QString::number(count));
    }
    void click(const char *button) { control<QPushButton>(console.get(), button)->click(); }
    QPlainTextEdit *memo() { return control<QPlainTextEdit>(console.get(), "Memo1"); }
    QTableWidget *grid() { return control<QTableWidget>(console.get(), "RegGrid"); }
    QString iniValue(const char *key)
    {
        return IniFile(workDir.path(), "TARVINE.INI").readString("Comm Settings", key, "?");
    }

    std::unique_ptr<CommSetup> comm;
    std::unique_ptr<TfrmModbusTest> console;
};

TEST_F(ConsoleTest, LendsWriteAccessWhileShownAndEscapeOrCloseEndsIt)
{
    for (const bool withEscape : {true, false}) {
        open(console.get());
        EXPECT_EQ(session.accessLevel(), Session::Programmer);
        EXPECT_EQ(link->transferLimit(), ModbusLink::BufferBound);
        if (withEscape)
            QTest::keyClick(console.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(control<QPushButton>(console.get(), "btnClose"), Qt::LeftButton);
        EXPECT_FALSE(console->isVisible()) << withEscape;
        EXPECT_EQ(console->result(), QDialog::Rejected);
        EXPECT_EQ(session.accessLevel(), Session::Administrator);
        EXPECT_EQ(link->transferLimit(), ModbusLink::MaxTransferBytes);
    }
}

TEST_F(ConsoleTest, ReadShowsTheReplyAndTheBlocksFields)
{
    pick(control<QComboBox>(console.get(), "cboReg"), QStringLiteral("CfgMiscInfo"));
    EXPECT_EQ(textOf(console.get(), "txtStartAddr"), "578");
    EXPECT_EQ(textOf(console.get(), "txtNumRegs"), "57");
    regs().setTextAt(2 * 578, 20, QStringLiteral("CONSOLE-TAG"));
    click("btnRegRead");
    const auto requests = takeRequests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].address, 578);
    EXPECT_EQ(requests[0].count, 57);
    EXPECT_EQ(textOf(console.get(), "lblText"), "OK");
    // The dump holds the registers; the reply as it came over the line is the tool tip.
    const QStringList lines = memo()->toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(HexDump::collect(lines), regs().read(578, 114));
    // Beside the dump, each line's offset from its first byte.
    EXPECT_EQ(control<QPlainTextEdit>(console.get(), "memoOffsets")->toPlainText(),
              "0000\n0010\n0020\n0030\n0040\n0050\n0060\n0070");
    EXPECT_TRUE(control<QLabel>(console.get(), "lblText")->toolTip().contains(QStringLiteral("3A 46 37 30 33")))
        << "\":F703\" of the ASCII reply";
    ASSERT_GE(grid()->rowCount(), 6);
    EXPECT_EQ(grid()->item(1, 0)->text(), "CfgMiscInfo.Tag");
    EXPECT_EQ(grid()->item(1, 1)->text(), "CONSOLE-TAG");

    // Write straight after the read changes nothing in the transmitter.
    const QByteArray before = regs().read(578, 114);
    click("btnRegWrite");
    EXPECT_EQ(takeRequests().size(), 1);
    EXPECT_EQ(regs().read(578, 114), before);
}

TEST_F(ConsoleTest, GridWritesNeitherAnotherBlocksValuesNorText)
{
    pick(control<QComboBox>(console.get(), "cboReg"), QStringLiteral("ModbusAddr"));
    click("btnRegRead");
    EXPECT_EQ(grid()->item(1, 1)->text(), "247");
    pick(control<QComboBox>(console.get(), "cboReg"), QStringLiteral("ModbusMode"));
    EXPECT_EQ(grid()->item(1, 0)->text(), "ModbusMode");
    EXPECT_TRUE(grid()->item(1, 1)->text().isEmpty());
    takeRequests();
    click("btnWrite");
    EXPECT_TRUE(takeRequests().isEmpty());
    EXPECT_EQ(device().comm().framing, 0);

    // A value that is not a number stops the write.
    pick(control<QComboBox>(console.get(), "cboReg"), QStringLiteral("ModbusAddr"));
    click("btnRegRead");
    grid()->item(1, 1)->setText(QStringLiteral("seventeen"));
    takeRequests();
    click("btnWrite");
    EXPECT_TRUE(takeRequests().isEmpty());
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("'seventeen'")));
    EXPECT_EQ(link->settings().unitId, 247);
}

TEST_F(ConsoleTest, RangesOutsideTheImageOrOneRequestAreRefused)
{
    const struct {
        QString start, count, why;
    } cases[] = {
        {QString(), QStringLiteral("4"), QStringLiteral("must have values")},
        {QStringLiteral("10"), QString(), QStringLiteral("must have values")},
        {QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("one request")},
        {QStringLiteral("10"), QStringLiteral("126"), QStringLiteral("one request")},
        {QStringLiteral("3399"), QStringLiteral("4"), QStringLiteral("3401")},
        {QStringLiteral("99999"), QStringLiteral("1"), QStringLiteral("3401")},
    };
    for (const auto &c : cases) {
        control<QLineEdit>(console.get(), "txtStartAddr")->setText(c.start);
        control<QLineEdit>(console.get(), "txtNumRegs")->setText(c.count);
        for (const char *button : {"btnRegRead", "btnRegWrite"}) {
            prompter.messages.clear();
            click(button);
            ASSERT_EQ(prompter.messages.size(), 1) << button;
            EXPECT_EQ(prompter.messages[0].title, "Invalid Data");
            EXPECT_TRUE(prompter.messages[0].text.contains(c.why)) << prompter.messages[0].text.toStdString();
        }
    }
    EXPECT_TRUE(takeRequests().isEmpty());
    setFields(3398, 4);
    click("btnRegRead");
    EXPECT_EQ(textOf(console.get(), "lblText"), "OK");
    takeRequests();

    // The longest ASCII read whose reply still fits the link's buffers; a write of
    // that many registers would not.
    setFields(1000, 125);
    click("btnRegRead");
    EXPECT_EQ(textOf(console.get(), "lblText"), "OK");
    EXPECT_TRUE(link->portOpen());
    const auto requests = takeRequests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].count, 125);
    prompter.messages.clear();
    click("btnRegWrite");
    EXPECT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(takeRequests().isEmpty());
}

TEST_F(ConsoleTest, SelectionInTheDumpIsDecoded)
{
    memo()->setPlainText(HexDump::lines(QByteArray("\x01\x02\x03", 3)).join(QLatin1Char('\n')));
    QTextCursor cursor = memo()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(5, QTextCursor::KeepAnchor);  // "01 02"
    memo()->setTextCursor(cursor);
    QTest::keyRelease(memo(), Qt::Key_Shift);
    settle();
    EXPECT_EQ(textOf(console.get(), "lblWordIntel"), "513");
    EXPECT_EQ(textOf(console.get(), "lblWordMotorola"), "258");
    EXPECT_EQ(textOf(console.get(), "lblHex"), "$0102");

    // Reaching into the text column: not hex, the user is told and the labels stay empty.
    cursor.setPosition(0);
    cursor.setPosition(memo()->toPlainText().size(), QTextCursor::KeepAnchor);
    memo()->setTextCursor(cursor);
    QTest::mouseRelease(memo()->viewport(), Qt::LeftButton);
    settle();
    EXPECT_EQ(prompter.messages.last().kind, Prompter::Error);
    EXPECT_EQ(textOf(console.get(), "lblHex"), "");
}

TEST_F(ConsoleTest, EditedDumpIsWrittenBack)
{
    setFields(1000, 3);
    const QByteArray bytes("\x12\x34\xAB\xCD\x00\x7F", 6);
    memo()->setPlainText(HexDump::lines(bytes).join(QLatin1Char('\n')));
    click("btnRegWrite");
    EXPECT_EQ(regs().read(1000, 6), bytes);

    // A dump shorter than the write would be: nothing is sent.
    memo()->setPlainText(HexDump::lines(QByteArray("\x01\x02\x03\x04", 4)).join(QLatin1Char('\n')));
    takeRequests();
    click("btnRegWrite");
    EXPECT_TRUE(takeRequests().isEmpty());
    EXPECT_EQ(prompter.messages.last().title, "Invalid Data");
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("4 bytes")));
    EXPECT_EQ(regs().read(1000, 6), bytes);
}

TEST_F(ConsoleTest, GridWriteOfTheAddressMovesThePcToItFirst)
{
    pick(control<QComboBox>(console.get(), "cboReg"), QStringLiteral("ModbusAddr"));
    click("btnRegRead");
    ASSERT_GE(grid()->rowCount(), 2);
    grid()->item(1, 1)->setText(QStringLiteral("17"));
    takeRequests();
    click("btnWrite");
    const auto requests = takeRequests();
    ASSERT_GE(requests.size(), 2);
    EXPECT_EQ(requests[0].function, 16);
    EXPECT_EQ(requests[0].address, 2401);
    EXPECT_EQ(requests[0].unit, 247);
    EXPECT_EQ(requests[1].function, 5);
    EXPECT_EQ(requests[1].address, 48);
    // The handshake that follows the coil goes to the new address too.
    for (qsizetype i = 1; i < requests.size(); ++i)
        EXPECT_EQ(requests[i].unit, 17) << i;
    EXPECT_EQ(link->settings().unitId, 17);
    EXPECT_EQ(device().comm().unitId, 17);
    EXPECT_EQ(comm->pc().unitId, 17) << "the settings window and Verify Unit ID show it";
    EXPECT_EQ(iniValue("ID"), "17") << "the next port open keeps it";
    EXPECT_TRUE(grid()->item(1, 0)->text().startsWith(QStringLiteral("Added: ")));
}

TEST_F(ConsoleTest, GridWriteOfTheFramingSwitchesBothEnds)
{
    pick(control<QComboBox>(console.get(), "cboReg"), QStringLiteral("ModbusMode"));
    click("btnRegRead");
    grid()->item(1, 1)->setText(QStringLiteral("1"));
    click("btnWrite");
    EXPECT_EQ(link->settings().framing, ModbusLink::Rtu);
    EXPECT_EQ(device().comm().framing, 1);
    EXPECT_EQ(iniValue("Mode"), "RTU");
    control<QLabel>(console.get(), "lblText")->clear();
    setFields(578, 9);
    click("btnRegRead");
    EXPECT_EQ(textOf(console.get(), "lblText"), "OK");
}

TEST_F(ConsoleTest, CoilsAreSetClearedAndReadBack)
{
    click("btnCoilSet");
    EXPECT_EQ(prompter.lastText(), "Coil Address must have a value.\rUnable to process.");
    EXPECT_TRUE(takeRequests().isEmpty());

    control<QLineEdit>(console.get(), "txtCoilAddr")->setText(QStringLiteral("79"));
    click("btnCoilSet");
    EXPECT_TRUE(deviceCoil(79));
    EXPECT_TRUE(control<QPushButton>(console.get(), "btnCoilRead")->property("ledOn").toBool());
    click("btnCoilClear");
    EXPECT_FALSE(deviceCoil(79));
    EXPECT_FALSE(control<QPushButton>(console.get(), "btnCoilRead")->property("ledOn").toBool());

    device().setCoil(84, true);
    pick(control<QComboBox>(console.get(), "cboCoil"), QStringLiteral("Batch Complete"));
    EXPECT_EQ(textOf(console.get(), "txtCoilAddr"), "84");
    EXPECT_TRUE(control<QPushButton>(console.get(), "btnCoilRead")->property("ledOn").toBool());
}

TEST_F(ConsoleTest, CoilPanelShowsEverySetCoilGreen)
{
    for (int coil = 0; coil < TfrmCoilStatus::CoilCount; ++coil)
        device().setCoil(coil, false);
    for (int coil : {0, 9, 46, 87})
        device().setCoil(coil, true);
    TfrmCoilStatus panel(*link);
    open(&panel);
    const QImage shot = panel.grab().toImage();
    for (int coil = 0; coil < TfrmCoilStatus::CoilCount; ++coil) {
        const bool on = coil == 0 || coil == 9 || coil == 46 || coil == 87;
        EXPECT_EQ(panel.coilOn(coil), on) << coil;
        const QColor centre = shot.pixelColor(TfrmCoilStatus::indicatorPos(coil) + QPoint(7, 7));
        EXPECT_EQ(centre.green() > 2 * centre.red(), on) << "coil " << coil << " " << centre.name().toStdString();
    }
    EXPECT_TRUE(panel.statusText().isEmpty());

    // After a register read, with the port closed: nothing lit, and the panel says why.
    regs().store(0, QByteArray(24, char(0xFF)));
    ASSERT_GT(link->Read_Regs(0, 24), 0);
    link->closePort();
    panel.hide();
    open(&panel);
    for (int coil = 0; coil < TfrmCoilStatus::CoilCount; ++coil)
        EXPECT_FALSE(panel.coilOn(coil)) << coil;
    EXPECT_TRUE(panel.statusText().contains(QStringLiteral("closed"))) << panel.statusText().toStdString();
}
