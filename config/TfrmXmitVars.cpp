#include "TfrmXmitVars.h"

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

const QString TfrmXmitVars::DampingErrorTitle = QStringLiteral(" Rate Damping Factor Data Error");
const QString TfrmXmitVars::DampingErrorText = QStringLiteral(
    "INFO:        Unacceptable Value... \r             Noise Damping Factor should always be GREATER than  \r"
    "             Rate Damping Factor. Edited parameters not changed. \r ");

TfrmXmitVars::TfrmXmitVars(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmXmitVars>()), m_param(nullptr), m_unit(nullptr),
      m_stdDensUnit(nullptr), m_api(nullptr), m_rate(RateBlock, RateBytes)
{
    ui->setupUi(this);
    setHelp(ui->btnHelp, Tag);
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

    for (EntryField *f : m_values) {
        connect(f, &EntryField::accepted, this, [this] { valueLeft(true); });
        connect(f, &EntryField::refused, this, [this] { valueLeft(false); });
    }
    for (EntryField *f : {m_slugDelay, m_stdDensity}) {
        connect(f, &EntryField::accepted, this, [this] { valueLeft(true); });
        connect(f, &EntryField::refused, this, [this] { valueLeft(false); });
    }
    for (EntryField *f : {m_damping, m_rateFactor, m_threshold}) {
        connect(f, &EntryField::accepted, this, [this, f] { dampingLeft(f, false); });
        connect(f, &EntryField::refused, this, [this, f] { dampingLeft(f, true); });
    }

    connect(ui->cboParam, &QComboBox::activated, this, [this] { cboParamChange(); });
    connect(ui->cboUnit, &QComboBox::activated, this, [this] { cboUnitChange(); });
    connect(ui->cboStdDensUnit, &QComboBox::activated, this, [this] { cboStdDensUnitChange(); });
    connect(ui->cboAPISelector, &QComboBox::activated, this, [this] { cboAPISelectorChange(); });
    connect(ui->btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });
    connect(ui->btnUndo, &QPushButton::clicked, this, &TfrmXmitVars::btnUndoClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    connect(ui->btnFlowDirection, &QPushButton::clicked, this, &TfrmXmitVars::btnFlowDirectionClick);
    connect(ui->btnSpecialUnits, &QPushButton::clicked, this, &TfrmXmitVars::btnSpecialUnitsClick);
    connect(ui->btnTable, &QPushButton::clicked, this, &TfrmXmitVars::btnTableClick);
    connect(ui->btnAPITable, &QPushButton::clicked, this, &TfrmXmitVars::btnAPITableClick);
    setButtons(false, false);
}

TfrmXmitVars::~TfrmXmitVars() = default;

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
    cboParamChange();
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
    if (code == NetOilFlow) {
        if (QDialog *netOil = WindowRegistry::create(NetOilWindowTag, context()))
            openWindow(netOil);
        m_param.show(MassFlow);
        code = MassFlow;
    }
    m_code = code;
    m_unit.setItems(UnitListFor(code));
    layOut();

    m_block = std::make_unique<ConfigBlock>(ConfigBlockFor(code), BlockBytes);
    if (rateDamped())
        readBlocks({m_block.get(), &m_rate});
    else
        readBlocks({m_block.get()});
    showBlock();
    if (code == StdVolumeFlow)
        cboStdDensUnitChange();
    if (code == Density)
        densityRule();
    setButtons(ui->btnApply->isEnabled(), false);
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
    for (int i = 0; i < ValueCount; ++i)
        m_values[i]->setValue(m_shown.fromBase(b.f64(ValueAt[i])));
    m_slugDelay->setValue(b.f64(SlugDelayAt));
    m_damping->setValue(b.u8(DampByte));
    m_stdDensUnitShown = b.u8(StdDensUnitByte);
    m_stdDensUnit.show(m_stdDensUnitShown);
    m_stdDensity->setValue(ShownUnit{DensityWithConcentration, m_stdDensUnitShown}.fromBase(b.f64(StdDensAt)));
    ui->lblStdDensUnit->setText(ui->cboStdDensUnit->currentText());
    m_api.show(b.u8(ApiByte));
    if (rateDamped()) {
        const bool mass = m_code == MassFlow;
        m_rateFactor->setValue(m_rate.u8(mass ? MassRateByte : VolRateByte));
        m_threshold->setValue(100.0 * m_rate.f32(mass ? MassThreshAt : VolThreshAt));
    }
    setUnitLabels();
    if (m_code == Concentration)
        warnUnlessUnitsAgree(m_unit.code(), -1, true);
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
    setUnitLabels();
    // The numbers follow the unit, unless the fallback does not hold one.
    if (!m_values[Fallback]->parsed())
        return;
    const ShownUnit next = ShownUnit::of(link(), m_code, m_unit.code());
    for (EntryField *f : m_values) {
        const double shown = f->parsed().value_or(f->value());
        f->setValue(next.fromBase(m_shown.toBase(shown)));
    }
    m_shown = next;
    if (m_code == Concentration) {
        warnUnlessUnitsAgree(m_unit.code(), -1, true);
        if (m_unit.code() != uint8_t(m_block->asRead()[UnitByte])) {
            forceCoil(ReadConcTableCoil);
            forceCoil(ResetConcTotalCoil);
            setButtons(true, ui->btnUndo->isEnabled());
        }
    }
    if (m_code == Density)
        densityRule();
    setButtons(true, ui->btnUndo->isEnabled());
}

void TfrmXmitVars::cboStdDensUnitChange()
{
    const int next = m_stdDensUnit.code();
    if (next != m_stdDensUnitShown) {
        const double base = ShownUnit{DensityWithConcentration, m_stdDensUnitShown}.toBase(m_stdDensity->value());
        m_stdDensity->setValue(ShownUnit{DensityWithConcentration, next}.fromBase(base));
        m_stdDensUnitShown = next;
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
    setButtons(true, ui->btnUndo->isEnabled());
}

void TfrmXmitVars::valueLeft(bool valid)
{
    if (!valid) {
        setButtons(false, ui->btnUndo->isEnabled());
        return;
    }
    if (m_code == StdVolumeFlow)
        m_stdVolumeChanged = true;
    if (m_code == Density)
        m_densityChanged = true;
    setButtons(true, true);
}

void TfrmXmitVars::dampingLeft(EntryField *field, bool refused)
{
    bool agree = true;
    if (!refused && rateDamped()) {
        const auto damping = m_damping->parsed(), rate = m_rateFactor->parsed();
        agree = !damping || !rate || *damping >= *rate;
        if (!agree) {
            showMessage(DampingErrorText, DampingErrorTitle, Prompter::Information);
            if (field != m_threshold)
                field->undoAccept();
        }
    }
    if (field != m_threshold || agree)
        setButtons(true, true);
}

void TfrmXmitVars::setButtons(bool apply, bool undo)
{
    ui->btnApply->setEnabled(apply);
    ui->btnUndo->setEnabled(undo);
}

bool TfrmXmitVars::btnApplyClick()
{
    ConfigBlock &b = *m_block;
    if (!b.wasRead() || (rateDamped() && !m_rate.wasRead())) {
        tell(NotReadText);
        return false;
    }
    const int stdUnit = m_stdDensUnit.code();
    const int api = m_api.code();
    std::array<double, ValueCount> base{};
    for (int i = 0; i < ValueCount; ++i) {
        base[i] = m_shown.toBase(m_values[i]->value());
        if (!std::isfinite(base[i])) {
            tell(m_values[i]->invalidText());
            return false;
        }
    }
    const double stdDensity = ShownUnit{DensityWithConcentration, stdUnit}.toBase(m_stdDensity->value());
    b.setU8(UnitByte, uint8_t(m_unit.code()));
    b.setU8(DampByte, uint8_t(m_damping->value()));
    for (int i = 0; i < ValueCount; ++i)
        b.setF64(ValueAt[i], base[i]);
    b.setF64(SlugDelayAt, m_slugDelay->value());
    if (std::isfinite(stdDensity))
        b.setF64(StdDensAt, stdDensity);
    b.setU8(StdDensUnitByte, uint8_t(stdUnit));
    const bool hasPartner = m_code == Density || m_code == StdVolumeFlow;
    if (hasPartner)
        b.setU8(ApiByte, uint8_t(api));

    // The partner block keeps the same API table; it is read before anything is
    // written, so that a failed read leaves the transmitter untouched.
    ConfigBlock partner(ConfigBlockFor(partnerCode()), BlockBytes);
    if (hasPartner && !partner.read(link())) {
        tell(NotReadText);
        return false;
    }
    if (!writeBlocks({&b}, Copy::Working))
        return false;

    const int stdUnitRead = uint8_t(b.asRead()[StdDensUnitByte]);
    if (stdUnit != stdUnitRead) {
        if (crossesDensityKind(stdUnitRead, stdUnit)) {
            forceCoil(ResetStdVolTotalCoil);
            link().image().store(ValueBlockFor(StdVolumeTotal), QByteArray(StdVolumeTotalBytes, '\0'));
        }
        m_stdVolumeChanged = true;
    }
    if (hasPartner) {
        partner.setU8(ApiByte, uint8_t(api));
        if (!writeBlocks({&partner}, Copy::Working))
            return false;
        if (m_stdVolumeChanged && forceCoil(StdVolumeChangedCoil))
            m_stdVolumeChanged = false;
        if (m_densityChanged && forceCoil(DensityChangedCoil))
            m_densityChanged = false;
    }
    if (rateDamped()) {
        const bool mass = m_code == MassFlow;
        m_rate.setU8(mass ? MassRateByte : VolRateByte, uint8_t(m_rateFactor->value()));
        m_rate.setF32(mass ? MassThreshAt : VolThreshAt, float(m_threshold->value() / 100.0));
        if (!writeBlocks({&m_rate}, Copy::Working))
            return false;
    }
    setButtons(false, true);
    return true;
}

void TfrmXmitVars::btnUndoClick()
{
    const bool written = rateDamped() ? writeBlocks({m_block.get(), &m_rate}, Copy::AsRead)
                                      : writeBlocks({m_block.get()}, Copy::AsRead);
    if (!written)
        return;
    m_block->revert();
    m_rate.revert();
    showBlock();
    if (m_code == StdVolumeFlow)
        stdDensityRule();
    setButtons(true, false);
}

void TfrmXmitVars::beforeFinish()
{
    // Closing keeps what was edited: pending changes are applied.
    if (ui->btnApply->isEnabled() && m_block)
        btnApplyClick();
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
