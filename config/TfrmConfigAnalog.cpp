#include "TfrmConfigAnalog.h"

#include "ApplyUndoButtons.h"
#include "EntryField.h"
#include "NetOilQuantity.h"
#include "NumberFormat.h"
#include "QuantityCode.h"
#include "UnitLists.h"
#include "ui_TfrmConfigAnalog.h"

#include <cmath>

namespace {

constexpr int Bytes = 68;
constexpr int LowerAt = 0, UpperAt = 8, FixedCurrentAt = 58, ParamByte = 66;
constexpr int OutputList = 173;  // "Analog 1", "Analog 2", "Analog 4"
constexpr int MilliAmpFormat = 24;
constexpr double MaxCurrent = 24.0;  // mA

const QList<CodeChoice::Item> &parameters()
{
    static const QList<CodeChoice::Item> items = {
        {"Mass Flow", 5},     {"Volume Flow", 7},   {"Std. Vol. Flow", 9}, {"Concentration Flow", 12},
        {"Concentration", 11}, {"Density", 4},       {"Temperature", 3},    {"Keyboard Data", 21},
        {"Net Oil Flow", 14}, {"Net Water Flow", 51}, {"% Water Cut", 50},
    };
    return items;
}

}  // namespace

TfrmConfigAnalog::TfrmConfigAnalog(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmConfigAnalog>()), m_param(nullptr)
{
    ui->setupUi(this);
    m_param = CodeChoice(ui->cboParam);
    m_param.setItems(parameters());
    CodeChoice(ui->cboOutput).setItems(UnitListFor(OutputList));
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, Tag);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    m_lower = entryField(ui->txtLRange, QStringLiteral("Invalid Lower Range, old value restored!"));
    m_upper = entryField(ui->txtURange, QStringLiteral("Invalid Upper Range, old value restored!"));
    for (EntryField *f : {m_lower, m_upper}) {
        f->setFormat([this](double v) {
            return fixedCurrent() ? FormatByIndex(MilliAmpFormat, v) : FormatValue(m_shown.unit.code, v);
        });
        connect(f, &EntryField::edited, m_buttons, &ApplyUndoButtons::edited);
        connect(f, &EntryField::accepted, this, [this, f](double shown) { store(f, shown); });
        // The old value is back: the press on Apply that took the focus does not apply.
        connect(f, &EntryField::refused, this, [this] { m_buttons->setApplyEnabled(false); });
    }
    for (QLineEdit *e : {ui->txtCutoff, ui->txtSpan})
        e->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));

    connect(ui->cboOutput, &QComboBox::activated, this, &TfrmConfigAnalog::cboOutputChange);
    connect(ui->cboParam, &QComboBox::activated, this, &TfrmConfigAnalog::cboParamChange);
}

TfrmConfigAnalog::~TfrmConfigAnalog()
{
    silenceEntryFields(this);
}

void TfrmConfigAnalog::FormActivate()
{
    ui->cboOutput->setCurrentIndex(0);
    m_netOil = ReadNetOilQuantity(link());
    cboOutputChange();
}

bool TfrmConfigAnalog::fixedCurrent() const
{
    return m_param.code() == Quantity::KeyboardData;
}

void TfrmConfigAnalog::cboOutputChange()
{
    const int output = qBound(0, ui->cboOutput->currentIndex(), 2);
    m_block = std::make_unique<ConfigBlock>(Blocks[output], Bytes);
    readBlocks({m_block.get()});
    m_param.show(m_block->u8(ParamByte));
    showParameter();
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

void TfrmConfigAnalog::cboParamChange()
{
    showParameter();
    m_buttons->edited();
}

void TfrmConfigAnalog::showParameter()
{
    m_shown = OutputParameter::read(link(), m_param.code(), m_netOil);
    const ConfigBlock &b = *m_block;
    const bool fixed = fixedCurrent();
    if (fixed)
        m_lower->setRange(0.0, MaxCurrent);
    else
        m_lower->clearRange();
    ui->lblLRange->setText(fixed ? QStringLiteral("Output Current") : QStringLiteral("Lower Range"));
    ui->lblLRangeUnit->setText(fixed ? QStringLiteral("mAmps") : m_shown.unitText);
    m_lower->setValue(fixed ? b.f64(FixedCurrentAt) : m_shown.shown(b.f64(LowerAt)));
    m_upper->setValue(m_shown.shown(b.f64(UpperAt)));
    ui->txtCutoff->setText(FormatValue(m_shown.unit.code, m_shown.shown(m_shown.cutoff)));
    ui->txtSpan->setText(FormatValue(m_shown.unit.code, m_shown.shown(m_shown.span)));
    for (QLabel *l : {ui->lblURangeUnit, ui->lblCutoffUnit, ui->lblSpanUnit})
        l->setText(m_shown.unitText);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->lblURange, ui->txtURange, ui->lblURangeUnit, ui->lblCutoff,
                                                      ui->txtCutoff, ui->lblCutoffUnit, ui->lblSpan, ui->txtSpan,
                                                      ui->lblSpanUnit})
        w->setVisible(!fixed);
}

void TfrmConfigAnalog::store(EntryField *field, double shown)
{
    // An accepted entry goes into the working copy in the transmitter's units.
    const bool fixed = fixedCurrent() && field == m_lower;
    const double base = fixed ? shown : m_shown.base(shown);
    if (!std::isfinite(base)) {
        field->undoAccept();
        showStatus(field->invalidText());
        return;
    }
    m_block->setF64(fixed ? FixedCurrentAt : field == m_lower ? LowerAt : UpperAt, base);
}

bool TfrmConfigAnalog::btnApplyClick()
{
    m_block->setU8(ParamByte, uint8_t(m_param.code()));
    return writeBlocks({m_block.get()}, Copy::Working);
}

bool TfrmConfigAnalog::btnUndoClick()
{
    if (!writeBlocks({m_block.get()}, Copy::AsRead))
        return false;
    m_block->revert();
    m_param.show(m_block->u8(ParamByte));
    showParameter();
    return true;
}

TARVINE_REGISTER_WINDOW(4570, TfrmConfigAnalog);
