#include "TfrmBatchTypeTest.h"

#include "ApplyUndoButtons.h"
#include "EntryField.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "RegisterBlocks.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "ui_frmBatchTypeTest.h"

#include <cmath>

namespace {
constexpr int BatchBlock = 550, BatchBytes = 52;
constexpr int ParamByte = 0, UnitByte = 1, CutoffByte = 2, TrickleByte = 10, LowAlarmByte = 18, HighAlarmByte = 26,
              ValveTimeByte = 34, AutoDelayByte = 42, RunModeEditByte = 50, BatchJogByte = 51;
constexpr int ResetBatchTotalCoil = 59;
constexpr int RateBlockBytes = 68;

const QList<CodeChoice::Item> Totals = {
    {"Mass Total", 6}, {"Volume Total", 8}, {"Std Volume Total", 10}, {"Concentrate Total", 13}};
const QStringList NoYes = {QStringLiteral("No"), QStringLiteral("Yes")};
}  // namespace

TfrmBatchTypeTest::TfrmBatchTypeTest(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmBatchTypeTest>()), m_param(nullptr), m_unit(nullptr),
      m_runModeEdit(nullptr), m_batchJog(nullptr), m_batch(BatchBlock, BatchBytes)
{
    ui->setupUi(this);
    m_param = CodeChoice(ui->cboParam);
    m_unit = CodeChoice(ui->cboUnit);
    m_runModeEdit = CodeChoice(ui->cboRunModeEdit);
    m_batchJog = CodeChoice(ui->cboBatchJog);
    m_param.setItems(Totals);
    m_runModeEdit.setItems(NoYes);
    m_batchJog.setItems(NoYes);

    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); }, true);

    m_quantities = {
        {entryField(ui->txtBatchSize, QStringLiteral("Invalid Batch Size, old value restored!")), CutoffByte},
        {entryField(ui->txtTrickleOffset, QStringLiteral("Invalid Trickle Offset, old value restored!")), TrickleByte},
        {entryField(ui->txtLoAlarmSet, QStringLiteral("Invalid Low Alarm Offset, old value restored!")), LowAlarmByte},
        {entryField(ui->txtHiAlarmSet, QStringLiteral("Invalid High Alarm Offset, old value restored!")), HighAlarmByte},
    };
    for (const QuantityField &q : m_quantities) {
        q.field->setEmptyText(QStringLiteral("0.0"));
        q.field->setFormat([this](double v) { return FormatValue(m_param.code(), v); });
        connect(q.field, &EntryField::edited, m_buttons, &ApplyUndoButtons::edited);
        connect(q.field, &EntryField::accepted, this, [this, q](double shown) {
            const double base = m_shown.toBase(shown);
            if (!std::isfinite(base)) {
                q.field->undoAccept();
                showStatus(q.field->invalidText());
                return;
            }
            m_batch.setF64(q.offset, base);
        });
    }

    // Times out of range are brought to their limits rather than refused.
    const auto timeField = [this](QLineEdit *edit, const QString &invalid, int offset, int limit) {
        EntryField *field = entryField(edit, invalid);
        field->setEmptyText(QStringLiteral("0"));
        field->setFormat([](double v) { return QString::number(v); });
        connect(field, &EntryField::edited, m_buttons, &ApplyUndoButtons::edited);
        connect(field, &EntryField::accepted, this, [this, field, offset, limit](double v) {
            const double clamped = std::clamp(v, 0.0, double(limit));
            if (clamped != v)
                field->setValue(clamped);
            m_batch.setF64(offset, clamped);
        });
        return field;
    };
    m_responseTime = timeField(ui->txtResponseTime, QStringLiteral("Invalid System Response Time, old value restored!"),
                               ValveTimeByte, MaxResponseTime);
    m_restartDelay = timeField(ui->txtRestartDelay, QStringLiteral("Invalid Auto-Restart Delay, old value restored!"),
                               AutoDelayByte, MaxRestartDelay);

    connect(ui->cboParam, &QComboBox::activated, this, [this] {
        GuardedWindow::BusyScope scope(*this);
        m_batch.setU8(ParamByte, uint8_t(m_param.code()));
        selectTotal();
        takeUnit();
        m_buttons->edited();
    });
    connect(ui->cboUnit, &QComboBox::activated, this, [this] {
        // Without the Special factor nothing converts: the unit stays as it was.
        if (!ShownUnit::of(link(), m_param.code(), m_unit.code()).factorRead) {
            m_unit.show(m_shown.index);
            tell(ShownUnit::FactorUnreadText);
            return;
        }
        cboUnitChange();
        takeUnit();
        m_buttons->edited();
    });
    for (CodeChoice *choice : {&m_runModeEdit, &m_batchJog})
        connect(choice->combo(), &QComboBox::activated, this, [this, choice] {
            m_batch.setU8(choice == &m_runModeEdit ? RunModeEditByte : BatchJogByte, uint8_t(choice->code()));
            m_buttons->edited();
        });
}

TfrmBatchTypeTest::~TfrmBatchTypeTest()
{
    silenceEntryFields(this);
}

void TfrmBatchTypeTest::FormActivate()
{
    readBlocks({&m_batch});
    selectTotal();
    m_unitAtOpening = m_unit.code();
    m_buttons->setApplyEnabled(true);
}

void TfrmBatchTypeTest::selectTotal()
{
    m_param.show(m_batch.u8(ParamByte));
    const int total = m_param.code();
    m_unit.setItems(UnitListFor(total));
    // The total's unit goes with the rate unit its quantity is configured in; that
    // block is only read here, never written.
    if (const int rateBlock = ConfigBlockFor(total); rateBlock != 0 && m_param.matched()) {
        ConfigBlock rate(rateBlock, RateBlockBytes);
        readBlocks({&rate});
        m_unit.show(TotalIndexForRate(total, rate.u8(0)));
    } else {
        m_unit.show(m_batch.u8(UnitByte));
    }
    m_runModeEdit.show(m_batch.u8(RunModeEditByte));
    m_batchJog.show(m_batch.u8(BatchJogByte));
    cboUnitChange();
}

void TfrmBatchTypeTest::takeUnit()
{
    // Only a unit the technician picked (or that goes with a total picked) is
    // written; back on the unit shown at opening, the byte is as read.
    const bool asOpened = m_param.code() == uint8_t(m_batch.asRead()[ParamByte]) && m_unit.code() == m_unitAtOpening;
    if (asOpened)
        m_batch.setU8(UnitByte, uint8_t(m_batch.asRead()[UnitByte]));
    else if (m_unit.matched())
        m_batch.setU8(UnitByte, uint8_t(m_unit.code()));
}

void TfrmBatchTypeTest::cboUnitChange()
{
    const int total = m_param.code();
    m_shown = ShownUnit::of(link(), total, m_unit.code());
    const QString text = m_unit.code() == SpecialIndexOf(total) ? SpecialUnitText(link(), total)
                                                                 : UnitListFor(total).value(m_unit.code());
    for (QLabel *label : {ui->lblBatchSizeUnit, ui->lblTrickleUnit, ui->lblLoUnit, ui->lblHiUnit})
        label->setText(text);
    showValues();
}

void TfrmBatchTypeTest::showValues()
{
    for (const QuantityField &q : m_quantities)
        q.field->setValue(m_shown.fromBase(m_batch.f64(q.offset)));
    m_responseTime->setValue(m_batch.f64(ValveTimeByte));
    m_restartDelay->setValue(m_batch.f64(AutoDelayByte));
}

bool TfrmBatchTypeTest::btnApplyClick()
{
    if (!writeBlocks({&m_batch}, Copy::Working))
        return false;
    return forceCoil(ResetBatchTotalCoil);
}

bool TfrmBatchTypeTest::btnUndoClick()
{
    if (!writeBlocks({&m_batch}, Copy::AsRead))
        return false;
    m_batch.revert();
    selectTotal();
    return true;
}

TARVINE_REGISTER_WINDOW(452, TfrmBatchTypeTest);
