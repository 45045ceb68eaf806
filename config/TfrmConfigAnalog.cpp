#include "TfrmConfigAnalog.h"

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
    setHelp(ui->btnHelp, Tag);
    m_param = CodeChoice(ui->cboParam);
    m_param.setItems(parameters());
    CodeChoice(ui->cboOutput).setItems(UnitListFor(OutputList));
    m_lower = entryField(ui->txtLRange, QStringLiteral("Invalid Lower Range, old value restored!"));
    m_upper = entryField(ui->txtURange, QStringLiteral("Invalid Upper Range, old value restored!"));
    for (EntryField *f : {m_lower, m_upper}) {
        f->setFormat([this](double v) {
            return fixedCurrent() ? FormatByIndex(MilliAmpFormat, v) : FormatValue(m_shown.unit.code, v);
        });
        connect(f, &EntryField::edited, this, [this] { ui->btnApply->setEnabled(true); });
    }
    for (QLineEdit *e : {ui->txtCutoff, ui->txtSpan})
        e->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));

    connect(ui->cboOutput, &QComboBox::activated, this, &TfrmConfigAnalog::cboOutputChange);
    connect(ui->cboParam, &QComboBox::activated, this, &TfrmConfigAnalog::cboParamChange);
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmConfigAnalog::btnApplyClick);
    connect(ui->btnUndo, &QPushButton::clicked, this, &TfrmConfigAnalog::btnUndoClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmConfigAnalog::~TfrmConfigAnalog() = default;

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
    ui->btnApply->setEnabled(true);
}

void TfrmConfigAnalog::showParameter()
{
    m_shown = OutputParameter::read(link(), m_param.code(), m_netOil);
    const ConfigBlock &b = *m_block;
    const bool fixed = fixedCurrent();
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

void TfrmConfigAnalog::btnApplyClick()
{
    ConfigBlock &b = *m_block;
    const QList<EntryField *> fields = fixedCurrent() ? QList<EntryField *>{m_lower} : QList<EntryField *>{m_lower, m_upper};
    for (EntryField *f : fields)
        f->check();
    if (fixedCurrent()) {
        b.setF64(FixedCurrentAt, m_lower->value());
    } else {
        const double lower = m_shown.base(m_lower->value()), upper = m_shown.base(m_upper->value());
        if (!std::isfinite(lower) || !std::isfinite(upper)) {
            tell(m_lower->invalidText());
            return;
        }
        b.setF64(LowerAt, lower);
        b.setF64(UpperAt, upper);
    }
    b.setU8(ParamByte, uint8_t(m_param.code()));
    if (!writeBlocks({&b}, Copy::Working))
        return;
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(true);
}

void TfrmConfigAnalog::btnUndoClick()
{
    if (!writeBlocks({m_block.get()}, Copy::AsRead))
        return;
    m_block->revert();
    m_param.show(m_block->u8(ParamByte));
    showParameter();
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

TARVINE_REGISTER_WINDOW(4570, TfrmConfigAnalog);
