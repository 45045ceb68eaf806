#include "TfrmXmitVars.h"

#include "ApplyUndoButtons.h"
#include "EntryField.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "Session.h"
#include "TextTable.h"
#include "TfrmConcentrationTable.h"
#include "TfrmFlowDirection.h"
#include "StandardDensityTableWindow.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "UserUnitsWindow.h"
#include "ui_TfrmXmitVars.h"

#include <QStandardItemModel>

#include <cmath>

namespace {

using namespace Quantity;

constexpr int BlockBytes = 68;
// Parameter configuration block: byte offsets.
constexpr int UnitByte = 0, DampByte = 1, SlugDelayAt = 50, StdDensAt = 58, StdDensUnitByte = 66, ApiByte = 67;
constexpr int ValueAt[] = {2, 10, 18, 26, 34, 42};  // fallback .. slug high limit
// Rate-damping block: mass and volume factor bytes and thresholds (fractions).
constexpr int RateBlock = 3380, RateBytes = 44;
constexpr int MassRateByte = 0, VolRateByte = 1, MassThreshAt = 4, VolThreshAt = 8;

constexpr int ApiSpecialTable = 10;
constexpr int ApiDensityUnit = 4;        // °API in the density list
constexpr int StdDensApiUnit = 7;        // °API in the standard-density list
constexpr int QuantityTextBase = 60;     // parameter names stand at 60 + code
constexpr int UnitTextWidth = 12;
constexpr int StdVolumeTotalBytes = 16;

// Coils the transmitter is told of changes with.
constexpr int ReadConcTableCoil = 49, ResetConcTotalCoil = 58, ResetStdVolTotalCoil = 57;
constexpr int DensityChangedCoil = 63, StdVolumeChangedCoil = 64;

// Which fields a parameter shows (the unit, fallback and alarm setpoints always).
struct ParamLayout {
    int code;
    bool cutoff = false;
    const char *dampLabel = nullptr;  // no damping factor when null
    bool rateDamping = false;
    bool slug = false;
    bool stdDensity = false;
    bool concTable = false;
};
constexpr ParamLayout Layouts[] = {
    {.code = Temperature},
    {.code = Density, .dampLabel = "Damp Factor:", .slug = true},
    {.code = MassFlow, .cutoff = true, .dampLabel = "Noise Damp Factor:", .rateDamping = true},
    {.code = VolumeFlow, .cutoff = true, .dampLabel = "Noise Damp Factor:", .rateDamping = true},
    {.code = StdVolumeFlow, .cutoff = true, .stdDensity = true},
    {.code = Concentration, .concTable = true},
    {.code = ConcentrateFlow, .cutoff = true},
};

const ParamLayout &layoutOf(int code)
{
    for (const ParamLayout &l : Layouts)
        if (l.code == code)
            return l;
    return Layouts[0];
}

QStringList apiTables()
{
    return {QStringLiteral("Fuel Oil (840) 15C"),      QStringLiteral("Fuel Oil (840) 60F"),
            QStringLiteral("Gasoline (730) 15C"),      QStringLiteral("Gasoline (730) 60F"),
            QStringLiteral("Kerosene (820.1) 15C"),    QStringLiteral("Kerosene (820.1) 60F"),
            QStringLiteral("LPG (510) 15C"),           QStringLiteral("LPG (505) 60F"),
            QStringLiteral("Light Lube Oil (878) 15C"), QStringLiteral("Light Lube Oil (878) 60F"),
            QStringLiteral("Special API Table")};
}

// A standard-density unit change that moves between the density units (0..3) and
// the others, or onto °API and beyond, invalidates the standard-volume total.
bool crossesDensityKind(int from, int to)
{
    return (from < 4) != (to < 4) || (from < 5 && to >= 7);
}

}  // namespace

const QString TfrmXmitVars::PendingEditsText = QStringLiteral(
    "The settings of this parameter were changed but not applied.\n\n"
    "Yes applies them, No discards them, Cancel stays with this parameter.");
const QString TfrmXmitVars::ConcentrationUnitText = QStringLiteral(
    "A new concentration unit makes the transmitter re-read its concentration table and resets the "
    "concentrate total.\n\nOK applies the new unit, Cancel writes nothing.");
const QString TfrmXmitVars::DampingErrorTitle = QStringLiteral(" Rate Damping Factor Data Error");
const QString TfrmXmitVars::DampingErrorText = QStringLiteral(
    "INFO:        Unacceptable Value... \r             Noise Damping Factor should always be GREATER than  \r"
    "             Rate Damping Factor. Edited parameters not changed. \r ");

TfrmXmitVars::TfrmXmitVars(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmXmitVars>()), m_param(nullptr), m_unit(nullptr),
      m_stdDensUnit(nullptr), m_api(nullptr), m_rate(RateBlock, RateBytes)
{
    ui->setupUi(this);
    m_param = CodeChoice(ui->cboParam);
    m_unit = CodeChoice(ui->cboUnit);
    m_stdDensUnit = CodeChoice(ui->cboStdDensUnit);
    m_api = CodeChoice(ui->cboAPISelector);
    m_stdDensUnit.setItems(UnitListFor(DensityWithConcentration));
    m_api.setItems(apiTables());

    const std::pair<QLineEdit *, const char *> values[] = {
        {ui->txtFallback, "Fallback"},         {ui->txtLoAlarmSet, "Low Alarm Setpoint"},
        {ui->txtHiAlarmSet, "High Alarm Setpoint"}, {ui->txtLFCutoff, "Low Flow Cutoff"},
        {ui->txtSlugLoLimit, "Slug Low Limit"}, {ui->txtSlugHiLimit, "Slug High Limit"},
    };
    const auto invalid = [](const char *name) {
        return QStringLiteral("Invalid %1, old value restored!").arg(QLatin1String(name));
    };
    for (int i = 0; i < ValueCount; ++i) {
        m_values[i] = entryField(values[i].first, invalid(values[i].second));
        m_values[i]->setFormat([this](double v) { return FormatValue(m_code, v); });
    }
    m_slugDelay = entryField(ui->txtSlugDelay, invalid("Slug Delay"));
    m_stdDensity = entryField(ui->txtStdDensity, invalid("Std Density"));
    m_stdDensity->setFormat([](double v) { return FormatValue(DensityWithConcentration, v); });
    m_damping = entryField(ui->txtNoiseFactor, invalid("Damp Factor"));
    m_rateFactor = entryField(ui->txtRateFactor, invalid("Rate Damp Factor"));
    for (EntryField *f : {m_damping, m_rateFactor})
        f->setIntegerRange(0, 255);  // bytes in the transmitter
    m_threshold = entryField(ui->txtThreshold, invalid("Rate Damp Threshold"));

    // An accepted entry goes into the working copy at once, in the transmitter's
    // units; fields the technician did not edit keep their bytes as read.
    for (int i = 0; i < ValueCount; ++i)
        connect(m_values[i], &EntryField::accepted, this, [this, i](double shown) {
            storeBase(m_values[i], ValueAt[i], m_shown.toBase(shown));
        });
    connect(m_slugDelay, &EntryField::accepted, this, [this](double v) { storeBase(m_slugDelay, SlugDelayAt, v); });
    connect(m_stdDensity, &EntryField::accepted, this, [this](double shown) {
        storeBase(m_stdDensity, StdDensAt, ShownUnit{DensityWithConcentration, m_stdDensUnitShown}.toBase(shown));
    });
    m_threshold->setRange(0.0, 100.0);
    connect(m_damping, &EntryField::accepted, this, [this](double v) {
        if (dampingAgrees(v, rateFactor()))
            m_block->setU8(DampByte, uint8_t(v));
    });
    connect(m_rateFactor, &EntryField::accepted, this, [this](double v) {
        if (dampingAgrees(m_block->u8(DampByte), v))
            m_rate.setU8(m_code == MassFlow ? MassRateByte : VolRateByte, uint8_t(v));
    });
    connect(m_threshold, &EntryField::accepted, this, [this](double v) {
        m_rate.setF32(m_code == MassFlow ? MassThreshAt : VolThreshAt, float(v / 100.0));
        edited();
    });
    for (EntryField *f : {m_values[0], m_values[1], m_values[2], m_values[3], m_values[4], m_values[5], m_slugDelay,
                          m_stdDensity, m_damping, m_rateFactor, m_threshold}) {
        // Typing offers Apply (its mnemonic commits the field); a refusal takes it back.
        connect(f, &EntryField::edited, this, [this] { m_buttons->setApplyEnabled(true); });
        connect(f, &EntryField::refused, this, [this] { m_buttons->setApplyEnabled(false); });
    }

    connect(ui->cboParam, &QComboBox::activated, this, [this] { cboParamChange(); });
    connect(ui->cboUnit, &QComboBox::activated, this, [this] { cboUnitChange(); });
    connect(ui->cboStdDensUnit, &QComboBox::activated, this, [this] { cboStdDensUnitChange(); });
    connect(ui->cboAPISelector, &QComboBox::activated, this, [this] { cboAPISelectorChange(); });
    // The grid column would squeeze this button onto its text.
    ui->btnTable->setMinimumWidth(ui->btnTable->sizeHint().width() + 2 * fontMetrics().averageCharWidth());
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, Tag);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); }, true);
    connect(ui->btnFlowDirection, &QPushButton::clicked, this, &TfrmXmitVars::btnFlowDirectionClick);
    connect(ui->btnSpecialUnits, &QPushButton::clicked, this, &TfrmXmitVars::btnSpecialUnitsClick);
    connect(ui->btnTable, &QPushButton::clicked, this, &TfrmXmitVars::btnTableClick);
    connect(ui->btnAPITable, &QPushButton::clicked, this, &TfrmXmitVars::btnAPITableClick);
    setButtons(false, false);
}

TfrmXmitVars::~TfrmXmitVars()
{
    silenceEntryFields(this);
}

void TfrmXmitVars::fillParameters()
{
    const bool reduced = session().deviceModel() == QLatin1String("KRM410");
    const QList<int> codes = reduced ? QList<int>{MassFlow, VolumeFlow, Temperature, Density}
                                     : QList<int>{MassFlow,      VolumeFlow,  StdVolumeFlow, ConcentrateFlow,
                                                  Concentration, Temperature, Density,       NetOilFlow};
    QList<CodeChoice::Item> items;
    for (int code : codes)
        items.append({TextTable::text(QuantityTextBase + code), code});
    m_param.setItems(items);
    // The net-oil configuration is a window of its own; without it the item cannot be chosen.
    const int netOil = m_param.indexOf(NetOilFlow);
    if (netOil >= 0 && !WindowRegistry::contains(NetOilWindowTag)) {
        if (auto *model = qobject_cast<QStandardItemModel *>(ui->cboParam->model())) {
            QStandardItem *item = model->item(netOil);
            item->setEnabled(false);
            item->setToolTip(QStringLiteral("The net-oil configuration is not available in this program."));
        }
    }
}

void TfrmXmitVars::FormActivate()
{
    fillParameters();
    m_param.show(MassFlow);
    selectParameter(MassFlow);
    m_stdVolumeChanged = m_densityChanged = false;
}

void TfrmXmitVars::openWindow(QDialog *window)
{
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->exec();
    delete window;
}

bool TfrmXmitVars::rateDamped() const
{
    return layoutOf(m_code).rateDamping;
}

int TfrmXmitVars::partnerCode() const
{
    return m_code == Density ? StdVolumeFlow : Density;
}

void TfrmXmitVars::cboParamChange()
{
    int code = m_param.code();
    if (code == m_code)
        return;
    // Edits of the parameter shown are applied or dropped first, never carried
    // over to the next one.
    if (ui->btnApply->isEnabled()) {
        const int answer = showMessage(PendingEditsText, windowTitle(), Prompter::Confirmation,
                                       Prompter::Yes | Prompter::No | Prompter::Cancel);
        if (answer == Prompter::IdCancel || (answer == Prompter::IdYes && !applyPending())) {
            m_param.show(m_code);
            return;
        }
    }
    if (code == NetOilFlow) {
        if (QDialog *netOil = WindowRegistry::create(NetOilWindowTag, context()))
            openWindow(netOil);
        m_param.show(MassFlow);
        code = MassFlow;
    }
    selectParameter(code);
}

bool TfrmXmitVars::applyPending()
{
    GuardedWindow::BusyScope scope(*this);
    beginWrites();
    if (!commitFocusedField() || !btnApplyClick())
        return false;
    m_buttons->setApplyEnabled(false);
    return true;
}

void TfrmXmitVars::selectParameter(int code)
{
    m_code = code;
    m_unit.setItems(UnitListFor(code));
    layOut();

    m_block = std::make_unique<ConfigBlock>(ConfigBlockFor(code), BlockBytes);
    if (rateDamped())
        readBlocks({m_block.get(), &m_rate});
    else
        readBlocks({m_block.get()});
    m_concentrationUnitAsked = m_apiPicked = false;
    showBlock();
    if (code == StdVolumeFlow)
        cboStdDensUnitChange();
    if (code == Density)
        densityRule();
    setButtons(false, false);
}

void TfrmXmitVars::layOut()
{
    const ParamLayout &l = layoutOf(m_code);
    const auto show = [](bool on, std::initializer_list<QWidget *> widgets) {
        for (QWidget *w : widgets)
            w->setVisible(on);
    };
    show(l.cutoff, {ui->lblLFCutoff, ui->txtLFCutoff, ui->lblLFCutoffUnit});
    show(l.dampLabel, {ui->lblNoiseFactor, ui->txtNoiseFactor, ui->lblNoiseFactorUnit});
    if (l.dampLabel)
        ui->lblNoiseFactor->setText(QString::fromLatin1(l.dampLabel));
    show(l.rateDamping, {ui->lblRateFactor, ui->txtRateFactor, ui->lblRateFactorUnit, ui->lblThreshold,
                         ui->txtThreshold, ui->lblThresholdUnit});
    show(l.slug, {ui->lblSlugLoLimit, ui->txtSlugLoLimit, ui->lblSlugLoUnit, ui->lblSlugHiLimit,
                  ui->txtSlugHiLimit, ui->lblSlugHiUnit, ui->lblSlugDelay, ui->txtSlugDelay, ui->lblSlugDelayUnit});
    show(l.stdDensity, {ui->lblStdDensUnitCaption, ui->cboStdDensUnit, ui->lblStdDensity, ui->txtStdDensity,
                        ui->lblStdDensUnit});
    show(false, {ui->lblAPISelector, ui->cboAPISelector, ui->btnAPITable});
    show(l.concTable, {ui->btnTable});
}

void TfrmXmitVars::showBlock()
{
    const ConfigBlock &b = *m_block;
    m_unit.show(b.u8(UnitByte));
    m_shown = ShownUnit::of(link(), m_code, m_unit.code());
    showValues();
    m_slugDelay->setValue(b.f64(SlugDelayAt));
    m_damping->setValue(b.u8(DampByte));
    m_stdDensUnitShown = b.u8(StdDensUnitByte);
    m_stdDensUnit.show(m_stdDensUnitShown);
    m_stdDensity->setValue(ShownUnit{DensityWithConcentration, m_stdDensUnitShown}.fromBase(b.f64(StdDensAt)));
    ui->lblStdDensUnit->setText(ui->cboStdDensUnit->currentText());
    m_api.show(b.u8(ApiByte));
    if (rateDamped()) {
        m_rateFactor->setValue(rateFactor());
        m_threshold->setValue(100.0 * m_rate.f32(m_code == MassFlow ? MassThreshAt : VolThreshAt));
    }
    setUnitLabels();
    if (m_code == Concentration)
        warnUnlessUnitsAgree(m_unit.code(), -1, true);
}

void TfrmXmitVars::showValues()
{
    for (int i = 0; i < ValueCount; ++i)
        m_values[i]->setValue(m_shown.fromBase(m_block->f64(ValueAt[i])));
}

int TfrmXmitVars::rateFactor() const
{
    return m_rate.u8(m_code == MassFlow ? MassRateByte : VolRateByte);
}

void TfrmXmitVars::storeBase(EntryField *field, int offset, double base)
{
    // A value with no transmitter units (an undefined Special unit) is refused
    // like unreadable text.
    if (!std::isfinite(base)) {
        field->undoAccept();
        showStatus(field->invalidText());
        return;
    }
    m_block->setF64(offset, base);
    edited();
}

bool TfrmXmitVars::dampingAgrees(double damping, double rate)
{
    if (!rateDamped() || damping >= rate) {
        edited();
        return true;
    }
    showMessage(DampingErrorText, DampingErrorTitle, Prompter::Information);
    for (EntryField *f : {m_damping, m_rateFactor})
        if (f->value() != (f == m_damping ? m_block->u8(DampByte) : rateFactor()))
            f->undoAccept();
    return false;
}

void TfrmXmitVars::edited()
{
    if (m_code == StdVolumeFlow)
        m_stdVolumeChanged = true;
    if (m_code == Density)
        m_densityChanged = true;
    setButtons(true, true);
}

void TfrmXmitVars::setUnitLabels()
{
    QString text = ui->cboUnit->currentText().left(UnitTextWidth);
    if (text == QLatin1String("Special"))
        text = SpecialUnitText(link(), m_code);
    for (QLabel *l : {ui->lblFallbackUnit, ui->lblLoAlarmUnit, ui->lblHiAlarmUnit, ui->lblLFCutoffUnit,
                      ui->lblSlugLoUnit, ui->lblSlugHiUnit})
        l->setText(text);
}

void TfrmXmitVars::cboUnitChange()
{
    const ShownUnit next = ShownUnit::of(link(), m_code, m_unit.code());
    if (!next.factorRead) {
        m_unit.show(m_shown.index);
        tell(ShownUnit::FactorUnreadText);
        return;
    }
    // The stored values are re-shown in the new unit; none is taken from its text.
    m_shown = next;
    if (m_unit.matched())
        m_block->setU8(UnitByte, uint8_t(m_unit.code()));
    showValues();
    setUnitLabels();
    if (m_code == Concentration) {
        warnUnlessUnitsAgree(m_unit.code(), -1, true);
        m_concentrationUnitAsked = false;
    }
    if (m_code == Density)
        densityRule();
    setButtons(true, ui->btnUndo->isEnabled());
}

void TfrmXmitVars::cboStdDensUnitChange()
{
    const int next = m_stdDensUnit.code();
    if (next != m_stdDensUnitShown) {
        m_stdDensUnitShown = next;
        m_block->setU8(StdDensUnitByte, uint8_t(next));
        m_stdDensity->setValue(ShownUnit{DensityWithConcentration, next}.fromBase(m_block->f64(StdDensAt)));
        m_stdVolumeChanged = true;
        setButtons(true, ui->btnUndo->isEnabled());
    }
    ui->lblStdDensUnit->setText(ui->cboStdDensUnit->currentText());
    stdDensityRule();
    if (m_code == StdVolumeFlow) {
        m_api.show(m_block->u8(ApiByte));
        if (const auto conc = ReadConfiguredUnit(link(), ConfigBlockFor(Concentration)))
            warnUnlessUnitsAgree(conc->unitIndex, next, false);
    }
}

void TfrmXmitVars::stdDensityRule()
{
    const int s = m_stdDensUnit.code();
    ui->txtStdDensity->setVisible(s < 4);
    ui->lblStdDensity->setVisible(s < 4);
    ui->lblStdDensUnit->setVisible(s < 4);
    const bool api = s == StdDensApiUnit;
    ui->lblAPISelector->setVisible(api);
    ui->cboAPISelector->setVisible(api);
    ui->btnAPITable->setVisible(api && m_api.code() == ApiSpecialTable);
}

void TfrmXmitVars::densityRule()
{
    ConfigBlock stdVolume(ConfigBlockFor(StdVolumeFlow), BlockBytes);
    stdVolume.read(link());
    m_api.show(stdVolume.u8(ApiByte));
    const bool api = m_unit.code() == ApiDensityUnit;
    ui->lblAPISelector->setVisible(api);
    ui->cboAPISelector->setVisible(api);
    ui->btnAPITable->setVisible(api && m_api.code() == ApiSpecialTable);
    m_densityChanged = true;
}

void TfrmXmitVars::warnUnlessUnitsAgree(int k, int s, bool editingConcentration)
{
    if (editingConcentration) {
        ConfigBlock stdVolume(ConfigBlockFor(StdVolumeFlow), BlockBytes);
        stdVolume.read(link());
        s = stdVolume.u8(StdDensUnitByte);
    }
    if (s == k + 3 || !((k == 0 && s >= 4 && s <= 6) || (k >= 1 && k <= 3)))
        return;
    const QString text =
        editingConcentration
            ? QStringLiteral("Warning: Std Density Unit Not Sync. In Configure Standard Volume Flow...\r"
                             "              Std Density Unit of ")
                  + UnitListFor(DensityWithConcentration).value(s) + QStringLiteral(" was previously selected!")
            : QStringLiteral("Warning: Density Unit Not Sync. In Configure Concentration...\r"
                             "              Density Unit of ")
                  + UnitListFor(Concentration).value(k) + QStringLiteral(" was previously selected!");
    showMessage(text, windowTitle(), Prompter::Warning);
}

void TfrmXmitVars::cboAPISelectorChange()
{
    const bool special = m_api.code() == ApiSpecialTable;
    if (special)
        btnAPITableClick();
    ui->btnAPITable->setVisible(special);
    if (m_code == Density)
        m_densityChanged = true;
    m_block->setU8(ApiByte, uint8_t(m_api.code()));
    m_apiPicked = true;
    setButtons(true, ui->btnUndo->isEnabled());
}

void TfrmXmitVars::setButtons(bool apply, bool undo)
{
    m_buttons->setApplyEnabled(apply);
    m_buttons->setUndoEnabled(undo);
}

bool TfrmXmitVars::btnApplyClick()
{
    ConfigBlock &b = *m_block;
    if (!b.wasRead() || (rateDamped() && !m_rate.wasRead())) {
        tell(NotReadText);
        return false;
    }
    const bool hasPartner = m_code == Density || m_code == StdVolumeFlow;
    const int api = m_api.code();
    // A new concentration unit makes the transmitter re-read its table and reset
    // the concentrate total: the technician agrees to that first.
    const bool concentrationUnitChanged = m_code == Concentration && b.u8(UnitByte) != uint8_t(b.asRead()[UnitByte]);
    if (concentrationUnitChanged && !m_concentrationUnitAsked) {
        if (showMessage(ConcentrationUnitText, windowTitle(), Prompter::Confirmation, Prompter::OK | Prompter::Cancel) !=
            Prompter::IdOK)
            return false;
        m_concentrationUnitAsked = true;
    }

    // The partner block keeps the same API table; it is read before anything is
    // written, so that a failed read leaves the transmitter untouched.
    ConfigBlock partner(ConfigBlockFor(partnerCode()), BlockBytes);
    if (hasPartner && !partner.read(link())) {
        tell(NotReadText);
        return false;
    }
    if (!writeBlocks({&b}, Copy::Working))
        return false;
    if (concentrationUnitChanged) {
        const bool reRead = forceCoil(ReadConcTableCoil);
        if (!reRead || !forceCoil(ResetConcTotalCoil))
            return false;
    }

    const int stdUnit = b.u8(StdDensUnitByte);
    const int stdUnitRead = uint8_t(b.asRead()[StdDensUnitByte]);
    if (stdUnit != stdUnitRead) {
        if (crossesDensityKind(stdUnitRead, stdUnit)) {
            forceCoil(ResetStdVolTotalCoil);
            link().image().store(ValueBlockFor(StdVolumeTotal), QByteArray(StdVolumeTotalBytes, '\0'));
        }
        m_stdVolumeChanged = true;
    }
    if (hasPartner) {
        if (m_apiPicked && partner.u8(ApiByte) != uint8_t(api)) {
            partner.setU8(ApiByte, uint8_t(api));
            if (!writeBlocks({&partner}, Copy::Working))
                return false;
        }
        m_apiPicked = false;
        if (m_stdVolumeChanged && forceCoil(StdVolumeChangedCoil))
            m_stdVolumeChanged = false;
        if (m_densityChanged && forceCoil(DensityChangedCoil))
            m_densityChanged = false;
    }
    if (rateDamped() && !writeBlocks({&m_rate}, Copy::Working))
        return false;
    return true;
}

bool TfrmXmitVars::btnUndoClick()
{
    const bool written = rateDamped() ? writeBlocks({m_block.get(), &m_rate}, Copy::AsRead)
                                      : writeBlocks({m_block.get()}, Copy::AsRead);
    if (!written)
        return false;
    m_block->revert();
    m_rate.revert();
    showBlock();
    if (m_code == StdVolumeFlow)
        stdDensityRule();
    return true;
}

void TfrmXmitVars::beforeFinish()
{
    // Closing keeps what was edited: pending changes are applied.
    if (ui->btnApply->isEnabled() && m_block) {
        beginWrites();
        btnApplyClick();
    }
}

void TfrmXmitVars::btnFlowDirectionClick()
{
    openWindow(new TfrmFlowDirection(context(), this));
}

void TfrmXmitVars::btnSpecialUnitsClick()
{
    openWindow(new TfrmSpecialUnits(link(), this));
    setUnitLabels();
}

void TfrmXmitVars::btnTableClick()
{
    openWindow(new TfrmConcentrationTable(context(), this));
}

void TfrmXmitVars::btnAPITableClick()
{
    openWindow(new TfrmSpecialAPI(context(), this));
}

TARVINE_REGISTER_WINDOW(456, TfrmXmitVars);
