// The configuration windows against the in-process simulated transmitter: one
// table of windows for what they share (edit, Apply, re-open, Undo; failed read,
// refused write, port lost), then the rules of each window.
#include "ConfigWindow.h"
#include "ConfigWindowTest.h"
#include "SimTransmitter.h"
#include "StandardDensityTableWindow.h"
#include "TfrmAlarmCfg.h"
#include "TfrmConcentrationTable.h"
#include "TfrmDateTime.h"
#include "TfrmFlowDirection.h"
#include "TfrmRevInfo.h"
#include "TfrmTotalizerReset.h"
#include "NumberFormat.h"
#include "UnitConversion.h"

#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include <functional>
#include <memory>

namespace {

struct Window {
    const char *name;
    Maker make;
    int block, bytes;  // what Apply changes in the transmitter
    std::function<void(QWidget *)> edit;
    // How the edit reached the transmitter; windows without it take no part in
    // the round trip (a typed value shown again is checked for every window with
    // the other properties).
    std::function<void(const RegisterImage &)> applied{};
    int readFirst = -1;  // the first register read, when not the block's own
    bool undoOnEdit = false;  // Undo offered as soon as a value is edited, not only after Apply
};

// Flow values typed in kg/min, the unit mass flow is configured in, reach the
// transmitter in lb/sec.
constexpr double LbPerSecPerKgPerMin = 2.20462262184878 / 60.0;

void typeThree(QWidget *w, const char *field)
{
    type(w, field, QStringLiteral("3"));
}
std::function<void(const RegisterImage &)> sentAsLbPerSec(int byteOffset)
{
    return [byteOffset](const RegisterImage &r) { EXPECT_NEAR(r.f64At(byteOffset), 3.0 * LbPerSecPerKgPerMin, 1e-8); };
}

// Mass flow is configured in kg/min (unit 4), so mass setpoints and totals are shown
// in a unit other than the base lb/sec and lb.
const QList<Window> &windows()
{
    static const QList<Window> list = {
        {.name = "alarms", .make = byTag(454), .block = 680, .bytes = 68,
         .edit = [](QWidget *w) {
             pick(control<QComboBox>(w, "cboParam"), "Mass Flow");
             type(w, "txtLoAlarmSet", "12.5");
             pick(control<QComboBox>(w, "cboType"), "FailSafe");
         },
         .applied = [](const RegisterImage &r) {
             EXPECT_DOUBLE_EQ(r.f64At(2 * 680 + 10), ToBase(5, 12.5, 4));
             EXPECT_EQ(r.reg(1010), 5 << 8 | 33);
         }},
        {.name = "batch", .make = byTag(452), .block = 550, .bytes = 52,
         .edit = [](QWidget *w) { type(w, "txtBatchSize", "100"); },
         .applied = [](const RegisterImage &r) { EXPECT_NEAR(r.f64At(2 * 550 + 2), ToBase(6, 100, 1), 1e-9); }},
        {.name = "device information", .make = byTag(4530), .block = 578, .bytes = 114,
         .edit = [](QWidget *w) { type(w, "txtTag", "PUMP-7 AND A VERY LONG TAG"); },
         .applied = [](const RegisterImage &r) { EXPECT_EQ(r.textAt(2 * 578, 20), "PUMP-7 AND A VERY L"); }},
        {.name = "device configuration", .make = byTag(4531), .block = 635, .bytes = 90,
         .edit = [](QWidget *w) { type(w, "txtTransModNum", "m1008321"); },
         .applied = [](const RegisterImage &r) { EXPECT_EQ(r.textAt(2 * 635, 10), "m1008321"); }},
        {.name = "HART", .make = byTag(4575), .block = 2430, .bytes = 28,
         .edit = [](QWidget *w) {
             type(w, "txtAddress", "7");
             pick(control<QComboBox>(w, "cboWriteProtect"), "Yes");
         },
         .applied = [](const RegisterImage &r) {
             EXPECT_EQ(r.u8At(2 * 2430), 7);
             EXPECT_EQ(r.u8At(2 * 2430 + 5), 1);
         }},
        {.name = "display", .make = byTag(455), .block = 576, .bytes = 4,
         .edit = [](QWidget *w) { pick(control<QComboBox>(w, "cboLine1"), "Raw DSP Data"); },
         .applied = [](const RegisterImage &r) { EXPECT_EQ(r.read(576, 4).toHex(), "13060304"); }},
        {.name = "date and time", .make = byTag(462), .block = 122, .bytes = 8,
         .edit = [](QWidget *w) { type(w, "MaskDate", "123126"); },
         .readFirst = 0},  // read through the results area
        {.name = "transmitter variables", .make = byTag(456), .block = 680, .bytes = 68,
         .edit = [](QWidget *w) { typeThree(w, "txtLoAlarmSet"); },
         .applied = sentAsLbPerSec(2 * 680 + 10), .undoOnEdit = true},
        {.name = "pulse output", .make = byTag(4571), .block = 983, .bytes = 54,
         .edit = [](QWidget *w) { typeThree(w, "txtURange"); },
         .applied = sentAsLbPerSec(2 * 983 + 10)},
        {.name = "analog output", .make = byTag(4570), .block = 881, .bytes = 68,
         .edit = [](QWidget *w) { typeThree(w, "txtURange"); },
         .applied = sentAsLbPerSec(2 * 881 + 8)},
        {.name = "flow direction", .make = byClass<TfrmFlowDirection>(), .block = 880, .bytes = 2,
         .edit = [](QWidget *w) { pick(control<QComboBox>(w, "cboDirection"), QStringLiteral("Reverse")); }},
        {.name = "concentration tables", .make = byClass<TfrmConcentrationTable>(), .block = 1088,
         .bytes = 2 * 585,
         .edit = [](QWidget *w) { control<QTableWidget>(w, "grdDens1")->item(0, 1)->setText(QStringLiteral("7")); }},
        {.name = "special API", .make = byClass<TfrmSpecialAPI>(), .block = 2465, .bytes = 2 * 915,
         .edit = [](QWidget *w) { type(w, "txtSAPIName", "Light crude"); }},
    };
    return list;
}

class ConfigWindowsTest : public ConfigWindowTest {
protected:
    // The port goes away as the next request leaves.
    void losePortAtNextRequest()
    {
        QObject::connect(link.get(), &ModbusLink::txActive, link.get(), [this](bool on) {
            if (on && serial->isOpen())
                serial->close();
        });
    }
};

}  // namespace

TEST_F(ConfigWindowsTest, ApplyWritesAndUndoRestores)
{
    for (const Window &c : windows()) {
        if (!c.applied)
            continue;
        SCOPED_TRACE(c.name);
        const QByteArray original = regs().read(c.block, c.bytes);
        auto w = openMade(c.make);
        c.edit(w.get());
        click(w.get(), "btnApply");
        c.applied(regs());
        click(w.get(), "btnUndo");
        EXPECT_FALSE(control<QPushButton>(w.get(), "btnUndo")->isEnabled());
        EXPECT_EQ(regs().read(c.block, c.bytes), original);
        EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.lastText().toStdString();
        prompter.messages.clear();
    }
}

// However the transmitter fails a window, it is left as it was (by Apply and by
// Close) and the window says so.
TEST_F(ConfigWindowsTest, FailuresLeaveTheTransmitterAsItWasAndSaySo)
{
    enum Failure { ReadRefused, WriteRefused, PortLost };
    for (const Window &c : windows()) {
        for (Failure failure : {ReadRefused, WriteRefused, PortLost}) {
            SCOPED_TRACE(std::string(c.name) + " failure " + std::to_string(failure));
            // The clock window sends an edited field whether or not its read succeeded.
            if (failure == ReadRefused && c.readFirst == 0)
                continue;
            if (!link->portOpen()) {
                ASSERT_TRUE(link->openPort());
            }
            prompter.messages.clear();
            const int readFirst = c.readFirst < 0 ? c.block : c.readFirst;
            if (failure == ReadRefused)
                refuse(readFirst, readFirst + c.bytes / 2 - 1);
            auto w = openMade(c.make);
            const QByteArray before = regs().bytes();
            c.edit(w.get());
            simulator->transmitter()->setFaults({});
            if (failure == WriteRefused)
                refuse(c.block, c.block + c.bytes / 2 - 1);
            if (failure == PortLost)
                losePortAtNextRequest();
            click(w.get(), "btnApply");
            QObject::disconnect(link.get(), &ModbusLink::txActive, link.get(), nullptr);
            EXPECT_EQ(regs().bytes(), before);
            if (failure == ReadRefused) {
                EXPECT_TRUE(prompter.shown(ConfigWindow::ReadFailedText));
                EXPECT_TRUE(prompter.shown(ConfigWindow::NotReadText));
            } else {
                EXPECT_TRUE(prompter.shown(ConfigWindow::WriteFailedText)) << prompter.texts().join('|').toStdString();
            }
            EXPECT_EQ(control<QPushButton>(w.get(), "btnUndo")->isEnabled(), c.undoOnEdit);
            if (std::string(c.name) == "alarms") {
                EXPECT_FALSE(deviceCoil(43)) << "relay left paused";
            }
            // Closing writes nothing either.
            auto *guarded = dynamic_cast<GuardedWindow *>(w.get());
            ASSERT_NE(guarded, nullptr);
            guarded->requestClose();
            settle();
            simulator->transmitter()->setFaults({});
            EXPECT_EQ(regs().bytes(), before);
        }
    }
}

TEST_F(ConfigWindowsTest, AlarmRelayPausedIsAlwaysResumed)
{
    auto w = openTag(TfrmAlarmCfg::Tag);
    pick(control<QComboBox>(w.get(), "cboParam"), "Sensor Error");
    EXPECT_FALSE(control<QLineEdit>(w.get(), "txtLoAlarmSet")->isEnabled());
    EXPECT_FALSE(control<QComboBox>(w.get(), "cboUnit")->isEnabled());
    takeRequests();
    click(w.get(), "btnApply");
    QList<WireRequest> sent = takeRequests();
    ASSERT_EQ(sent.size(), 9);  // pause and its handshake, the relay, resume and its handshake
    EXPECT_EQ(forcedOn(sent), (QList<int>{43, 44}));
    EXPECT_EQ(sent[4].function, 16);
    EXPECT_EQ(sent[4].address, 1010);
    EXPECT_EQ(regs().reg(1010), 22 << 8 | 32);

    // The relay write refused between pause and resume: resumed all the same.
    pick(control<QComboBox>(w.get(), "cboParam"), "DSP Failure");
    refuse(1010, 1010);
    click(w.get(), "btnApply");
    EXPECT_TRUE(forcedOn(takeRequests()).contains(44));
    EXPECT_FALSE(deviceCoil(43));
    EXPECT_EQ(regs().reg(1010), 22 << 8 | 32);
    EXPECT_TRUE(prompter.shown(ConfigWindow::WriteFailedText));
}

TEST_F(ConfigWindowsTest, AlarmUnitChangeConvertsWithoutTraffic)
{
    regs().setF64At(2 * 680 + 10, 2.0);  // lb/sec
    regs().setU8At(2 * 680, 0);
    regs().setU8At(2 * 1010, 5);
    auto w = openTag(TfrmAlarmCfg::Tag);
    EXPECT_DOUBLE_EQ(numberOf(w.get(), "txtLoAlarmSet"), 2.0);
    takeRequests();
    auto *unit = control<QComboBox>(w.get(), "cboUnit");
    pick(unit, "kg/sec");
    EXPECT_TRUE(takeRequests().isEmpty());
    EXPECT_NEAR(numberOf(w.get(), "txtLoAlarmSet"), FromBase(5, 2.0, unit->currentIndex()), 0.05);
}

TEST_F(ConfigWindowsTest, FieldsOutsideTheirRangeAreBroughtBackOrRefused)
{
    struct Case {
        int tag;
        const char *field;
        QString typed, shown;
    };
    const Case cases[] = {
        {452, "txtResponseTime", "75", "60"},   {452, "txtResponseTime", "abc", "60"},
        {452, "txtResponseTime", "-4", "0"},    {452, "txtRestartDelay", "700", "600"},
        {4575, "txtAddress", "20", "0"},        {4575, "txtAddress", "-3", "15"},
        {4575, "txtAddress", "abc", "15"},      {4575, "txtAddress", "99999999999999999999", "15"},
    };
    std::unique_ptr<QDialog> w;
    int openTagNow = 0;
    for (const Case &c : cases) {
        if (c.tag != openTagNow) {
            w = openTag(c.tag);
            openTagNow = c.tag;
        }
        type(w.get(), c.field, c.typed);
        EXPECT_EQ(textOf(w.get(), c.field), c.shown) << c.field << " " << c.typed.toStdString();
    }
    // The spin buttons wrap at both ends.
    type(w.get(), "txtAddress", "0");
    control<QToolButton>(w.get(), "udAddressDown")->click();
    EXPECT_EQ(textOf(w.get(), "txtAddress"), "15");
    control<QToolButton>(w.get(), "udAddressUp")->click();
    EXPECT_EQ(textOf(w.get(), "txtAddress"), "0");
}

// A code no list of this program holds selects nothing and goes back as it was.
TEST_F(ConfigWindowsTest, CodesOutsideTheListsSelectNothingAndAreWrittenBackAsTheyWere)
{
    const struct {
        Maker make;
        int at;  // the code's byte
        const char *combo;
        std::function<void(QWidget *)> edit;
    } cases[] = {
        {byTag(456), 2 * 680, "cboUnit", [](QWidget *w) { type(w, "txtHiAlarmSet", "2"); }},
        {byTag(4571), 2 * 983, "cboParam", [](QWidget *w) { type(w, "txtFreq", "500"); }},
        {byTag(455), 2 * 576, "cboLine1", [](QWidget *w) { pick(control<QComboBox>(w, "cboLine3"), "Density"); }},
    };
    regs().store(576, QByteArray::fromHex("63130504"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.combo);
        regs().setU8At(c.at, 99);
        auto w = openMade(c.make);
        EXPECT_EQ(control<QComboBox>(w.get(), c.combo)->currentIndex(), -1);
        c.edit(w.get());
        click(w.get(), "btnApply");
        EXPECT_EQ(regs().u8At(c.at), 99);
    }
    EXPECT_EQ(regs().f64At(2 * 680 + 18), 2.0);  // an unknown unit converts nothing
    EXPECT_EQ(regs().read(576, 4).toHex(), "63130404");
}

TEST_F(ConfigWindowsTest, DateAndTimeSendOnlyTheEditedValidField)
{
    auto w = openTag(TfrmDateTime::Tag);
    prompter.messages.clear();
    takeRequests();
    // Nothing edited: nothing sent, and the window says so.
    click(w.get(), "btnApply");
    EXPECT_TRUE(forcedOn(takeRequests()).isEmpty());
    EXPECT_EQ(prompter.lastText(), TfrmDateTime::NothingToSendText);

    // A date typed as 12/31/26 goes out alone, as its six digits and a zero byte:
    // the time read at opening would set the clock back.
    QList<QByteArray> dataIn;
    QObject::connect(&device(), &sim::SimDevice::registersWritten, link.get(), [&](int first, int) {
        if (first == 122)
            dataIn << regs().read(122, 8);
    });
    type(w.get(), "MaskDate", "123126");
    click(w.get(), "btnApply");
    EXPECT_EQ(forcedOn(takeRequests()), (QList<int>{35}));
    ASSERT_EQ(dataIn.size(), 1);
    EXPECT_EQ(dataIn.first(), QByteArray("123126\0\0", 8));
    // Undo cannot set the clock back, and says so.
    click(w.get(), "btnUndo");
    EXPECT_EQ(prompter.lastText(), TfrmDateTime::UndoKeepsText);

    for (const char *bad : {"133126", "023026", "12312"}) {
        type(w.get(), "MaskDate", QString::fromLatin1(bad));
        click(w.get(), "btnApply");
        EXPECT_FALSE(forcedOn(takeRequests()).contains(35)) << bad;
        EXPECT_EQ(prompter.lastText(), TfrmDateTime::InvalidDateText);
    }
    click(w.get(), "btnClose");
    QList<WireRequest> closing = takeRequests();
    ASSERT_EQ(closing.size(), 2);
    EXPECT_EQ(closing[0].address, 73);
    EXPECT_EQ(closing[1].address, 36);
    EXPECT_EQ(closing[1].count, 0);
}

TEST_F(ConfigWindowsTest, TotalizerResetClearsOnlyWhatTheTransmitterReset)
{
    WindowContext context{*link, session, nullptr, {}, {}};
    auto *w = TfrmTotalizerReset::showInstance(context);
    settle();
    EXPECT_EQ(TfrmTotalizerReset::showInstance(context), w);
    takeRequests();
    w->btnApplyClick();  // "All Totalizers"
    const QList<WireRequest> sent = takeRequests();
    EXPECT_EQ(forcedOn(sent), (QList<int>{55, 56, 57, 58, 67, 68, 59}));
    int zeroWrites = 0;
    for (const WireRequest &r : sent)
        zeroWrites += r.function == 16 && (r.address == 442 || r.address == 1790);
    EXPECT_EQ(zeroWrites, 2);
    EXPECT_EQ(textOf(w, "pnlStatus"), "Reset complete");

    // Refused at the std-volume reset: the rest are not sent, its image total stays.
    link->image().setF64At(2 * 296, 42.0);
    device().setStuckBusyCoil(57);
    w->btnApplyClick();
    const QList<int> refused = forcedOn(takeRequests());
    EXPECT_TRUE(refused.contains(57));
    EXPECT_FALSE(refused.contains(58));
    EXPECT_EQ(link->image().f64At(2 * 296), 42.0);
    EXPECT_EQ(textOf(w, "pnlStatus"), "Reset failed");
    EXPECT_EQ(prompter.lastText(), "The transmitter did not reset Std Volume.\nReset: Mass, Volume.\n"
                                   "Not reset (they keep their values): Std Volume, Concentrate, Net Oil, Prod. Water, "
                                   "Batch.");
    w->close();
    settle();

    session.setDeviceModel(QStringLiteral("KRM410"));
    auto *reduced = TfrmTotalizerReset::showInstance(context);
    EXPECT_EQ(control<QComboBox>(reduced, "cboParam")->count(), 3);
    reduced->close();
    settle();
}

TEST_F(ConfigWindowsTest, DeviceConfigurationReadsChecksAndTakesUpModelNumbers)
{
    struct Case {
        QByteArray stored;  // the 10-byte field as the transmitter holds it
        QString shownModel, shownSize;
    };
    const Case cases[] = {
        {QByteArray("m0502S51\0\0", 10), "m0502S51", "3A 2 Tri-Clamp"},
        {QByteArray("M1008321\0\0", 10), "m1008321", "1 Inch"},
        // Damaged numbers select nothing and are never read past their field.
        {QByteArray("m02\0\0\0\0\0\0\0", 10), "m02", ""},
        {QByteArray("m025801099", 10), "m02580109", ""},  // the field holds at most 9
    };
    for (const Case &c : cases) {
        regs().store(635, c.stored);
        auto w = openTag(4531);
        EXPECT_EQ(textOf(w.get(), "txtTransModNum"), c.shownModel);
        EXPECT_EQ(textOf(w.get(), "cboConSize"), c.shownSize);
    }

    regs().store(635, QByteArray("m0128010\0\0", 10));
    auto w = openTag(4531);
    type(w.get(), "txtTransModNum", "m012");
    EXPECT_EQ(prompter.lastText(), "Model Number must be 8 characters.");
    EXPECT_EQ(textOf(w.get(), "txtTransModNum"), "m0128010");
    pick(control<QComboBox>(w.get(), "cboConRate"), "DIN PN40");
    EXPECT_TRUE(prompter.shownWithTitle("  Mismatch Error"));
    EXPECT_EQ(textOf(w.get(), "txtTransModNum"), "m01280E0");
    pick(control<QComboBox>(w.get(), "cboTranSize"), "4080 kg/min (9000 Ib/min)");
    pick(control<QComboBox>(w.get(), "cboConRate"), "3A-Authorized Tri-Clamp");
    EXPECT_EQ(prompter.lastText(), "Note: This Transducer can't accept specified Connection Rating\r ");
    EXPECT_EQ(textOf(w.get(), "cboConRate"), "DIN PN40");  // the lists go back to the model number

    // Apply takes up the new sensor size in the number formats too.
    RegisterImage larger;
    larger.setTextAt(2 * 635, 10, textOf(w.get(), "txtTransModNum"));
    SelectSizeFormats(larger);
    const SizeFormats expected = CurrentSizeFormats();
    SelectSizeFormats(RegisterImage());
    takeRequests();
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().textAt(2 * 635, 10), "m3008GE0");
    EXPECT_EQ(forcedOn(takeRequests()), QList<int>{51});
    EXPECT_EQ(CurrentSizeFormats().rate, expected.rate);
    EXPECT_EQ(CurrentSizeFormats().total, expected.total);
}

TEST_F(ConfigWindowsTest, RevisionsAndTagReachTheSession)
{
    auto rev = openTag(4532);
    EXPECT_EQ(textOf(rev.get(), "txtAppVer"), "N3.21.07");
    EXPECT_EQ(textOf(rev.get(), "txtHartVer"), "H5.2");
    EXPECT_EQ(session.hardwareInfo().mid(26, 8), "N3.21.07");
    rev.reset();

    device().setStuckBusyCoil(61);
    rev = openTag(4532);
    EXPECT_EQ(textOf(rev.get(), "txtAppVer"), "");
    EXPECT_TRUE(prompter.shown(TfrmRevInfo::NoRevisionsText));

    QStringList tags;
    QObject::connect(link.get(), &ModbusLink::deviceTagChanged, link.get(), [&](const QString &t) { tags << t; });
    // Without a stored date the field only shows what goes there, and the date stays empty.
    regs().setTextAt(2 * 578 + 73, 20, QString());
    auto info = openTag(4530);
    EXPECT_TRUE(control<QLineEdit>(info.get(), "MaskDate")->isReadOnly());
    type(info.get(), "txtTag", "WELL 9");
    click(info.get(), "btnApply");
    EXPECT_EQ(session.tag(), "WELL 9");
    EXPECT_EQ(tags.last(), "WELL 9");
    EXPECT_EQ(regs().textAt(2 * 578 + 73, 20), "");
}

TEST_F(ConfigWindowsTest, AlarmUndoAfterASourceChangeShowsTheSourceRead)
{
    regs().setU16At(2 * 1010, 0 << 8 | 32);  // alarm 1 not used
    auto w = openTag(TfrmAlarmCfg::Tag);
    pick(control<QComboBox>(w.get(), "cboParam"), "Mass Flow");
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().reg(1010) >> 8, 5);
    click(w.get(), "btnUndo");
    EXPECT_EQ(regs().reg(1010) >> 8, 0);
    EXPECT_EQ(textOf(w.get(), "cboParam"), "Not Used");
    EXPECT_FALSE(control<QLineEdit>(w.get(), "txtLoAlarmSet")->isEnabled());
    const QByteArray massFlow = regs().read(680, 68);
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().read(680, 68), massFlow);
}

TEST_F(ConfigWindowsTest, DeviceConfigurationKeepsANSIThreeInchAndShowsARefusedUndo)
{
    regs().store(635, QByteArray("m2008621\0\0", 10));
    auto w = openTag(4531);
    EXPECT_EQ(textOf(w.get(), "cboConSize"), "3 Inch");
    pick(control<QComboBox>(w.get(), "cboElecRate"), "CSA Approved");
    type(w.get(), "txtTransSerNUm", "SN-42");
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().textAt(2 * 635, 10), "m2008622");
    // Undo refused: the window shows what the transmitter keeps.
    refuse(635, 679);
    click(w.get(), "btnUndo");
    EXPECT_TRUE(prompter.shown(ConfigWindow::WriteFailedText));
    EXPECT_EQ(textOf(w.get(), "txtTransModNum"), "m2008622");
    EXPECT_EQ(textOf(w.get(), "txtTransSerNUm"), "SN-42");
    EXPECT_TRUE(control<QPushButton>(w.get(), "btnUndo")->isEnabled());
}

TEST_F(ConfigWindowsTest, MiscellaneousInformationWritesOnlyEditedFields)
{
    regs().setTextAt(2 * 578 + 73, 20, "01/01/2026");
    auto w = openTag(4530);
    EXPECT_EQ(textOf(w.get(), "MaskDate"), "01/01/2026");
    type(w.get(), "txtDescriptor", "PUMP");
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().textAt(2 * 578 + 20, 20), "PUMP");
    EXPECT_EQ(regs().textAt(2 * 578 + 73, 20), "01/01/2026");
}
