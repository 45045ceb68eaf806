#include "TfrmWellCfg.h"

#include "ApplyUndoButtons.h"
#include "ModbusLink.h"
#include "Prompter.h"
#include "Session.h"
#include "TfrmVTWell.h"
#include "WellTesting.h"
#include "WellTime.h"
#include "ui_frmWellCfg.h"

#include <algorithm>
#include <utility>

namespace {
constexpr int ParamsRegister = 2128, ParamsBytes = 30;
constexpr int WellNoByte = 0, PurgeTypeByte = 1, PurgeSecByte = 2, TestSecByte = 10, PurgingFlagByte = 18,
              NoOfDumpByte = 29;
constexpr int ElapsedTime = 1, Dump = 2;
// What the window sets (byte offset, length); the rest of the block is the transmitter's.
constexpr std::pair<int, int> SettingFields[] = {
    {WellNoByte, 1}, {PurgeTypeByte, 1}, {PurgeSecByte, 8}, {TestSecByte, 8}, {NoOfDumpByte, 1}};

// Test-time items by whole hours; "Manual" is 0. A time that matches none is shown
// as itself, as the item AsRead.
constexpr int AsRead = -1;
const QList<CodeChoice::Item> TestTimes = {{"Manual", 0},     {"4  Hours", 4},  {"8  Hours ", 8},
                                           {"12 Hours", 12}, {"20 Hours", 20}, {"24 Hours", 24}};

const QString PurgingTitle = QStringLiteral("Ostrel is Purging");
const QString PurgingText = QStringLiteral(
    "Information: Ostrel is in Purging Mode...        \rTarvine would not allow any data modification at the "
    "moment.\rStop Purging Mode before entering any changes. \r");
const QString TestingText = QStringLiteral(
    "INFO: Well Testing is in progress...\r         Tarvine would not allow any data modification at the "
    "moment.\r         Stop Well testing before entering any changes. \r");
const QString InvalidWellTitle = QStringLiteral(" Severe Errors in Well Testing Configuration");
const QString InvalidWellText = QStringLiteral(
    "ERROR: The well selected doesn't contain valid well data..\r             Well Testing required valid data "
    "for Water & Oil \r             density. Please reselect well ID....             \r ");
const QString InvalidPurgeText = QStringLiteral("Invalid Purge Duration, old value restored!");
}  // namespace

TfrmWellCfg::TfrmWellCfg(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmWellCfg>()), m_well(nullptr), m_purgeType(nullptr),
      m_testTime(nullptr), m_dumps(nullptr), m_params(ParamsRegister, ParamsBytes)
{
    ui->setupUi(this);
    m_well = CodeChoice(ui->cboWellNum);
    m_purgeType = CodeChoice(ui->cboPurgeType);
    m_testTime = CodeChoice(ui->cboPurgeTime);
    m_dumps = CodeChoice(ui->cboNumOfDump);
    m_well.setItems(WellTesting::wellItems());
    m_purgeType.setItems(QStringList{QStringLiteral("None"), QStringLiteral("Elapsed Time"), QStringLiteral("Dump")});
    QStringList dumps;
    for (int n = 0; n <= 10; ++n)
        dumps << QString::number(n);
    m_dumps.setItems(dumps);
    ui->txtEditPurgeTime->setInputMask(QStringLiteral("99:99"));
    ui->txtEditPurgeTime->setText(QStringLiteral("00:01"));

    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });

    connect(ui->cboWellNum, &QComboBox::activated, this, [this] {
        cboWellNumChange();
        m_buttons->edited();
    });
    connect(ui->cboPurgeType, &QComboBox::activated, this, [this] {
        m_params.setU8(PurgeTypeByte, uint8_t(m_purgeType.code()));
        showPurgeRows();
        m_buttons->edited();
    });
    connect(ui->cboPurgeTime, &QComboBox::activated, this, [this] {
        if (const int hours = m_testTime.code(); hours != AsRead)
            m_params.setF64(TestSecByte, hours * 3600.0);
        else
            m_params.working().replace(TestSecByte, 8, m_params.asRead().mid(TestSecByte, 8));
        m_buttons->edited();
    });
    connect(ui->cboNumOfDump, &QComboBox::activated, this, [this] {
        m_params.setU8(NoOfDumpByte, uint8_t(m_dumps.code()));
        m_buttons->edited();
    });
    connect(ui->txtEditPurgeTime, &QLineEdit::textEdited, m_buttons, &ApplyUndoButtons::edited);
    connect(ui->txtEditPurgeTime, &QLineEdit::editingFinished, this, [this] { txtEditPurgeTimeExit(); });

    connect(ui->btnWellTest, &QPushButton::clicked, this, [this] { btnWellTestClick(); });
}

TfrmWellCfg::~TfrmWellCfg()
{
    silenceEntryFields(this);
}

void TfrmWellCfg::FormActivate()
{
    readBlocks({&m_params});
    showParams();
    lockIfTesting();
    m_buttons->setApplyEnabled(false);
    m_buttons->setUndoEnabled(false);
}

void TfrmWellCfg::showParams()
{
    m_well.show(m_params.u8(WellNoByte));
    m_purgeType.show(m_params.u8(PurgeTypeByte));
    m_dumps.show(m_params.u8(NoOfDumpByte));
    // A test time that matches no item (one hour, half an hour) is shown as itself
    // rather than as an item the transmitter would not run; it is written back as read.
    const double testSec = m_params.f64(TestSecByte);
    const int hours = WellTime::wholeHours(testSec);
    const bool matched = std::any_of(TestTimes.begin(), TestTimes.end(), [hours](const CodeChoice::Item &i) { return i.code == hours; })
                         && (hours != 0 || WellTime::bounded(testSec) == 0.0);
    QList<CodeChoice::Item> items = TestTimes;
    if (!matched)
        items.append({WellTime::toHHMM(testSec), AsRead});
    m_testTime.setItems(items);
    m_testTime.show(matched ? hours : AsRead);
    ui->txtEditPurgeTime->setText(WellTime::toHHMM(m_params.f64(PurgeSecByte)));
    showPurgeRows();
}

void TfrmWellCfg::showPurgeRows()
{
    const int type = m_purgeType.code();
    ui->lblPurgeTime->setVisible(type == ElapsedTime);
    ui->txtEditPurgeTime->setVisible(type == ElapsedTime);
    ui->lblNumOfDump->setVisible(type == Dump);
    ui->cboNumOfDump->setVisible(type == Dump);
}

void TfrmWellCfg::lockIfTesting()
{
    const bool purging = m_params.u16(PurgingFlagByte) != 0;
    const bool locked = WellTesting::lockedByWellTest(link(), purging ? PurgingText : TestingText,
                                                      purging ? PurgingTitle : WellTesting::InProgressTitle,
                                                      [this](const QString &t) { tell(t); });
    setEditable(!locked);
}

void TfrmWellCfg::setEditable(bool on)
{
    for (QWidget *w : std::initializer_list<QWidget *>{ui->cboWellNum, ui->cboPurgeType, ui->txtEditPurgeTime,
                                                       ui->cboNumOfDump, ui->cboPurgeTime})
        w->setEnabled(on);
    if (on == !m_locked)
        return;
    m_locked = !on;
    if (m_locked) {
        m_applyWasOn = ui->btnApply->isEnabled();
        m_undoWasOn = ui->btnUndo->isEnabled();
    }
    m_buttons->setApplyEnabled(on && m_applyWasOn);
    m_buttons->setUndoEnabled(on && m_undoWasOn);
}

bool TfrmWellCfg::stillStopped()
{
    // A test may have been started from the transmitter's panel or another window.
    const bool locked = WellTesting::lockedByWellTest(link(), TestingText, WellTesting::InProgressTitle,
                                                      [this](const QString &t) { tell(t); });
    if (locked)
        setEditable(false);
    return !locked;
}

bool TfrmWellCfg::writeSettings(const QByteArray &source)
{
    if (!m_params.wasRead()) {
        tell(NotReadText);
        return false;
    }
    ConfigBlock fresh(ParamsRegister, ParamsBytes);
    if (!readBlocks({&fresh}))
        return false;
    for (const auto &[at, bytes] : SettingFields)
        fresh.working().replace(at, bytes, source.mid(at, bytes));
    // Any logged-in user may set up a well test: this one write goes out at
    // Programmer level.
    WellTesting::RaisedAccessLevel raised(session(), Session::Programmer);
    return writeBlocks({&fresh}, Copy::Working);
}

void TfrmWellCfg::cboWellNumChange()
{
    // The selection stands either way; an unusable well is only pointed out.
    m_params.setU8(WellNoByte, uint8_t(m_well.code()));
    GuardedWindow::BusyScope scope(*this);
    if (!WellTesting::wellIsValid(link(), m_well.code()))
        showMessage(InvalidWellText, InvalidWellTitle, Prompter::Warning);
}

bool TfrmWellCfg::txtEditPurgeTimeExit()
{
    // Only a typed duration is taken: what was read goes back to the second, even
    // when "HH:MM" cannot show it.
    if (!ui->txtEditPurgeTime->isModified())
        return true;
    if (const auto seconds = WellTime::fromHHMM(ui->txtEditPurgeTime->text())) {
        m_params.setF64(PurgeSecByte, *seconds);
        return true;
    }
    ui->txtEditPurgeTime->setText(WellTime::toHHMM(m_params.f64(PurgeSecByte)));
    showStatus(InvalidPurgeText);
    return false;
}

void TfrmWellCfg::btnWellTestClick()
{
    QDialog *test = WindowRegistry::create(TfrmVTWell::Tag, context());
    if (!test)
        return;
    test->setParent(this, test->windowFlags());
    test->setAttribute(Qt::WA_DeleteOnClose);
    // The test may have been started or stopped there.
    connect(test, &QDialog::finished, this, [this] {
        GuardedWindow::BusyScope scope(*this);
        if (stillStopped())
            setEditable(true);
    });
    test->open();
}

bool TfrmWellCfg::btnApplyClick()
{
    // Alt+A leaves the focus in the duration: what is typed there counts.
    if (!stillStopped() || !txtEditPurgeTimeExit())
        return false;
    return writeSettings(m_params.working());
}

bool TfrmWellCfg::btnUndoClick()
{
    if (!stillStopped() || !writeSettings(m_params.asRead()))
        return false;
    m_params.revert();
    showParams();
    return true;
}

TARVINE_REGISTER_WINDOW(4576, TfrmWellCfg);
