#include "TfrmPulseOutput.h"

#include "ApplyUndoButtons.h"
#include "EntryField.h"
#include "NetOilQuantity.h"
#include "NumberFormat.h"
#include "QuantityCode.h"
#include "ui_TfrmPulseOutput.h"

#include <cmath>

namespace {

using namespace Quantity;

constexpr int Bytes = 54;
constexpr int ParamByte = 0, ModeByte = 1, LowerAt = 2, UpperAt = 10, PulsesPerUnitAt = 18, MaxFreqAt = 26,
              FixedFreqAt = 42, FixedPulsesAt = 50;
constexpr int RateMode = 0, PerUnitMode = 1, FixedMode = 2;
constexpr int OutputWrittenCoil = 47;
constexpr int FrequencyFormat = 0;

const QList<CodeChoice::Item> &parameters()
{
    static const QList<CodeChoice::Item> items = {
        {"Keyboard Data", 21},   {"Density", 4},            {"Temperature", 3},       {"Mass Flow", 5},
        {"Mass Total", 6},       {"Mass Total Fwd.", 38},   {"Mass Total Rev.", 39},  {"Volume Flow", 7},
        {"Volume Total", 8},     {"Volume Total Fwd.", 40}, {"Volume Total Rev.", 41}, {"Std. Vol. Flow", 9},
        {"Std. Vol. Total", 10}, {"Std. Vol. Fwd.", 42},    {"Std. Vol. Rev.", 43},   {"Conc. Flow", 12},
        {"Conc. Total", 13},     {"Conc. Total Fwd.", 44},  {"Conc. Total Rev.", 45}, {"Concentration", 11},
        {"Net Oil Total", 15},   {"Net Water Total", 52},   {"Batch Total", 16},
    };
    return items;
}

}  // namespace

int TfrmPulseOutput::modeOf(int code)
{
    switch (code) {
    case 3: case 4: case 5: case 7: case 9: case 11: case 12: case 14: case 51: return RateMode;
    case KeyboardData: return FixedMode;
    default: return PerUnitMode;
    }
}

TfrmPulseOutput::TfrmPulseOutput(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmPulseOutput>()), m_param(nullptr), m_block(Block, Bytes)
{
    ui->setupUi(this);
    m_param = CodeChoice(ui->cboParam);
    m_param.setItems(parameters());
    m_lower = entryField(ui->txtLRange, QStringLiteral("Invalid Lower Range, old value restored!"));
    m_upper = entryField(ui->txtURange, QStringLiteral("Invalid Upper Range, old value restored!"));
    m_pulses = entryField(ui->txtPulses, QStringLiteral("Invalid Number of Pulses, old value restored!"));
    m_freq = entryField(ui->txtFreq, QStringLiteral("Invalid Frequency, old value restored!"));
    for (EntryField *f : {m_lower, m_upper, m_pulses, m_freq}) {
        f->setEmptyText(QStringLiteral("0.0"));
        // Typing offers Apply; Apply checks the field first and says when it is not valid.
        connect(f, &EntryField::edited, this, [this] {
            if (m_armed)
                m_buttons->edited();
        });
        connect(f, &EntryField::accepted, this, [this, f] { store(f); });
    }
    for (EntryField *f : {m_lower, m_upper})
        f->setFormat([this](double v) { return FormatValue(m_shown.unit.code, v); }, false);
    m_pulses->setFormat([this](double v) {
        return mode() == FixedMode ? QString::number(qint64(v)) : FormatValue(m_shown.unit.code, v);
    }, false);
    m_freq->setFormat([](double v) { return FormatByIndex(FrequencyFormat, v); }, false);
    for (QLineEdit *e : {ui->txtCutoff, ui->txtSpan, ui->txtUnit})
        e->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));

    connect(ui->cboParam, &QComboBox::activated, this, &TfrmPulseOutput::cboParamChange);
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, Tag);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

TfrmPulseOutput::~TfrmPulseOutput()
{
    silenceEntryFields(this);
}

void TfrmPulseOutput::FormActivate()
{
    m_armed = false;
    m_netOil = ReadNetOilQuantity(link());
    readBlocks({&m_block});
    m_param.show(m_block.u8(ParamByte));
    showParameter();
    m_armed = true;
}

int TfrmPulseOutput::mode() const
{
    // A code outside the list keeps the mode it came with.
    return m_param.matched() ? modeOf(m_param.code()) : m_block.u8(ModeByte);
}

void TfrmPulseOutput::cboParamChange()
{
    showParameter();
}

void TfrmPulseOutput::showParameter()
{
    m_shown = OutputParameter::read(link(), m_param.code(), m_netOil);
    if (m_armed)
        ui->btnApply->setEnabled(true);
    const int m = mode();
    const ConfigBlock &b = m_block;
    m_lower->setValue(m_shown.shown(b.f64(LowerAt)));
    m_upper->setValue(m_shown.shown(b.f64(UpperAt)));
    ui->txtCutoff->setText(FormatValue(m_shown.unit.code, m_shown.shown(m_shown.cutoff)));
    ui->txtSpan->setText(FormatValue(m_shown.unit.code, m_shown.shown(m_shown.span)));
    ui->txtUnit->setText(m_shown.unitText);
    for (QLabel *l : {ui->lblLRangeUnit, ui->lblURangeUnit, ui->lblCutoffUnit, ui->lblSpanUnit})
        l->setText(m_shown.unitText);
    ui->lblPulsesUnit->setText(m == PerUnitMode ? QStringLiteral("/") + m_shown.unitText : QString());

    if (m == FixedMode) {
        m_pulses->setIntegerRange(0, 0xFFFF);  // a 16-bit count
        m_pulses->setEmptyText(QStringLiteral("0"));
        m_pulses->setValue(b.u16(FixedPulsesAt));
        m_freq->setValue(b.f64(FixedFreqAt));
    } else {
        m_pulses->clearIntegerRange();
        m_pulses->setEmptyText(QStringLiteral("0.0"));
        m_pulses->setValue(m_shown.shownPerUnit(b.f64(PulsesPerUnitAt)));
        m_freq->setValue(b.f64(MaxFreqAt));
    }
    ui->lblPulses->setText(m == FixedMode ? QStringLiteral("Output Num Pulses:") : QStringLiteral("Num Pulses/Unit:"));
    ui->lblFreq->setText(m == FixedMode ? QStringLiteral("Output Frequency:") : QStringLiteral("Max Output Frequency:"));

    const auto show = [](bool on, std::initializer_list<QWidget *> widgets) {
        for (QWidget *w : widgets)
            w->setVisible(on);
    };
    show(m == RateMode, {ui->lblLRange, ui->txtLRange, ui->lblLRangeUnit, ui->lblURange, ui->txtURange,
                         ui->lblURangeUnit, ui->lblCutoff, ui->txtCutoff, ui->lblCutoffUnit, ui->lblSpan,
                         ui->txtSpan, ui->lblSpanUnit});
    show(m == PerUnitMode, {ui->lblUnitCaption, ui->txtUnit, ui->lblPulsesUnit});
    show(m != RateMode, {ui->lblPulses, ui->txtPulses});
}

bool TfrmPulseOutput::store(EntryField *field)
{
    const double v = field->value();
    const int m = mode();
    double base = v;
    int at = 0;
    if (field == m_lower || field == m_upper) {
        base = m_shown.base(v);
        at = field == m_lower ? LowerAt : UpperAt;
    } else if (field == m_pulses && m == FixedMode) {
        m_block.setU16(FixedPulsesAt, uint16_t(v));
        return true;
    } else if (field == m_pulses) {
        base = m_shown.perBase(v);
        at = PulsesPerUnitAt;
    } else {
        at = m == FixedMode ? FixedFreqAt : MaxFreqAt;
    }
    if (!std::isfinite(base)) {
        field->undoAccept();
        showStatus(field->invalidText());
        return false;
    }
    m_block.setF64(at, base);
    return true;
}

bool TfrmPulseOutput::btnApplyClick()
{
    // Accepted entries are in the working copy already; untouched fields keep their bytes.
    m_block.setU8(ParamByte, uint8_t(m_param.code()));
    m_block.setU8(ModeByte, uint8_t(mode()));
    return writeBlocks({&m_block}, Copy::Working) && forceCoil(OutputWrittenCoil);
}

bool TfrmPulseOutput::btnUndoClick()
{
    if (!writeBlocks({&m_block}, Copy::AsRead))
        return false;
    m_block.revert();
    m_param.show(m_block.u8(ParamByte));
    m_armed = false;
    showParameter();
    m_armed = true;
    return true;
}

TARVINE_REGISTER_WINDOW(4571, TfrmPulseOutput);
