#include "frmViewMeasurements.h"

#include "TfrmTrend.h"

#include "FillUnitCombo.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "OnePageReport.h"
#include "PollCycle.h"
#include "Prompter.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "Session.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "UserUnitRecords.h"
#include "ui_frmViewMeasurements.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Live blocks the poll reads.
constexpr int TotalsBlock = 244, TotalsBytes = 154;
constexpr int ConcentrationBlock = 416, ConcentrationBytes = 52;
constexpr int BatchBlock = 550, BatchBytes = 52;
constexpr int ProcessBlock = 459, ProcessBytes = 66;
constexpr int DensityConfig = 748;
constexpr int DensityApiIndex = 4;
constexpr int TagRegister = 578, TagChars = 20;
// A totalizer block holds the total, then the forward total four registers on.
constexpr int ForwardOffsetRegs = 4;
const QString KRM410 = QStringLiteral("KRM410");

enum Row {
    MassRate, MassTotal, MassFwd, MassRev,
    VolumeRate, VolumeTotal, VolumeFwd, VolumeRev,
    StdRate, StdTotal, StdFwd, StdRev,
    PercentConc, ConcRate, ConcTotal, ConcFwd, ConcRev,
    BatchSize, BatchTotal, Density, Temperature, Frequency, Phase,
    RowCount
};
}  // namespace

using Q = TfrmViewMeasurements;

// Value control, register, what of the block, conversion and format codes, unit
// control, row holding the unit index, group, unit list, Special text code.
const Q::RowDef Q::Rows[] = {
    {"txtMassRate", 252, Source::Plain, 5, 5, "cboMassRate", UnitKind::Combo, MassRate, Group::Always, 5, 5},
    {"txtMassTotal", 244, Source::Plain, 6, 6, "cboMassTotal", UnitKind::Combo, MassTotal, Group::Always, 6, 6},
    {"txtMassTotalFwd", 244, Source::Forward, 38, 38, "lblMassTotalFwdUnit", UnitKind::TotalLabel, MassTotal, Group::Always, 0, 0},
    {"txtMassTotalRev", 244, Source::Reverse, 6, 39, "lblMassTotalRevUnit", UnitKind::TotalLabel, MassTotal, Group::Always, 0, 0},
    {"txtVolumeRate", 287, Source::Plain, 7, 7, "cboVolumeRate", UnitKind::Combo, VolumeRate, Group::Always, 7, 7},
    {"txtVolumeTotal", 279, Source::Plain, 8, 8, "cboVolumeTotal", UnitKind::Combo, VolumeTotal, Group::Always, 8, 8},
    {"txtVolTotalFwd", 279, Source::Forward, 40, 40, "lblVolTotalFwdUnit", UnitKind::TotalLabel, VolumeTotal, Group::Always, 0, 0},
    {"txtVolTotalRev", 279, Source::Reverse, 41, 41, "lblVolTotalRevUnit", UnitKind::TotalLabel, VolumeTotal, Group::Always, 0, 0},
    {"txtStdVolRate", 304, Source::Plain, 9, 9, "cboStdVolRate", UnitKind::Combo, StdRate, Group::StdVolume, 9, 9},
    {"txtStdVolTotal", 296, Source::Plain, 10, 10, "cboStdVolTotal", UnitKind::Combo, StdTotal, Group::StdVolume, 10, 10},
    {"txtStdVolTotalFwd", 296, Source::Forward, 42, 42, "lblStdVolTotalFwdUnit", UnitKind::TotalLabel, StdTotal, Group::StdVolume, 0, 0},
    {"txtStdVolTotalRev", 296, Source::Reverse, 43, 43, "lblStdVolTotalRevUnit", UnitKind::TotalLabel, StdTotal, Group::StdVolume, 0, 0},
    {"txtPercentConc", 424, Source::Plain, 11, 11, "lblPercentConcUnit", UnitKind::FixedLabel, -1, Group::Concentration, 0, 0},
    {"txtConcRate", 433, Source::Plain, 12, 12, "cboConcRate", UnitKind::Combo, ConcRate, Group::Concentration, 12, 5},
    {"txtConcTotal", 416, Source::Plain, 13, 13, "cboConcTotal", UnitKind::Combo, ConcTotal, Group::Concentration, 13, 6},
    {"txtConcTotalFwd", 416, Source::Forward, 44, 44, "lblConcTotalFwdUnit", UnitKind::TotalLabel, ConcTotal, Group::Concentration, 0, 0},
    {"txtConcTotalRev", 416, Source::Reverse, 45, 45, "lblConcTotalRevUnit", UnitKind::TotalLabel, ConcTotal, Group::Concentration, 0, 0},
    {"txtBatchSize", 551, Source::Plain, BatchCode, BatchCode, "cboBatchSize", UnitKind::Combo, BatchSize, Group::Batch, BatchCode, BatchCode},
    {"txtBatchTotal", 313, Source::Plain, BatchCode, BatchCode, "cboBatchTotal", UnitKind::Combo, BatchTotal, Group::Batch, BatchCode, BatchCode},
    {"txtDensity", 270, Source::Plain, 4, 4, "cboDensity", UnitKind::Combo, Density, Group::Always, 4, 0},
    {"txtTemperature", 261, Source::Plain, 3, 3, "cboTemperature", UnitKind::Combo, Temperature, Group::Always, 3, 0},
    {"txtFrequency", 459, Source::Plain, NoConversion, 1, "lblFrequencyUnit", UnitKind::FixedLabel, -1, Group::Always, 0, 0},
    {"txtPhase", 468, Source::Plain, 2, 2, "lblPhaseUnit", UnitKind::FixedLabel, -1, Group::Always, 0, 0},
};

const Q::UnitPair Q::Pairs[] = {
    {MassRate, MassTotal}, {VolumeRate, VolumeTotal}, {StdRate, StdTotal}, {ConcRate, ConcTotal}, {BatchSize, BatchTotal},
};

TfrmViewMeasurements::TfrmViewMeasurements(ModbusLink &link, Session &session, QWidget *parent)
    : GuardedWindow(parent),
      m_link(link),
      m_session(session),
      ui(std::make_unique<Ui::TfrmViewMeasurements>()),
      m_unitFile(QLatin1String(IniSection))
{
    static_assert(std::size(Rows) == RowCount);
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    m_poll = new PollCycle(*this, m_link, [this] { poll(); });
    bindRows();
    connect(ui->btnSaveUnits, &QPushButton::clicked, this, &Q::btnSaveUnitsClick);
    connect(ui->btnLoadUnits, &QPushButton::clicked, this, &Q::btnLoadUnitsClick);
    connect(ui->btnPrint, &QPushButton::clicked, this, &Q::btnPrintClick);
    connect(ui->btnTrend, &QPushButton::clicked, this, &Q::btnTrendClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &Q::btnCloseClick);

    static const std::pair<const char *, int> keys[] = {
        {"MassRate", MassRate},     {"MassTotal", MassTotal},   {"VolumeRate", VolumeRate},
        {"VolumeTotal", VolumeTotal}, {"StdVolRate", StdRate},  {"StdVolTotal", StdTotal},
        {"ConcRate", ConcRate},     {"ConcTotal", ConcTotal},   {"BatchSize", BatchSize},
        {"BatchTotal", BatchTotal}, {"Density", Density},       {"Temperature", Temperature},
    };
    for (const auto &[key, row] : keys)
        m_unitFile.add(QLatin1String(key), m_rows[row].combo);
}

TfrmViewMeasurements::~TfrmViewMeasurements()
{
    restoreCursor();
}

// The row table names each row's controls; a caption is the label whose buddy is
// the row's value.
void TfrmViewMeasurements::bindRows()
{
    const QList<QLabel *> labels = findChildren<QLabel *>();
    for (int r = 0; r < RowCount; ++r) {
        const RowDef &def = Rows[r];
        RowWidgets w;
        w.value = findChild<QLineEdit *>(QLatin1String(def.valueName));
        for (QLabel *l : labels)
            if (l->buddy() == w.value)
                w.caption = l;
        if (def.unitKind == UnitKind::Combo) {
            w.combo = findChild<QComboBox *>(QLatin1String(def.unitName));
            connect(w.combo, &QComboBox::activated, this, [this, r] { unitChanged(r); });
        } else {
            w.unitLabel = findChild<QLabel *>(QLatin1String(def.unitName));
        }
        Q_ASSERT(w.value && w.caption && (w.combo || w.unitLabel));
        m_rows.append(w);
    }
}

bool TfrmViewMeasurements::rowEnabled(int row) const
{
    return m_fullModel || Rows[row].group == Group::Always;
}

void TfrmViewMeasurements::FormActivate()
{
    m_poll->stop();
    m_fullModel = m_session.deviceModel() != KRM410;
    for (int r = 0; r < RowCount; ++r) {
        const bool on = rowEnabled(r);
        m_rows[r].caption->setEnabled(on);
        m_rows[r].value->setEnabled(on);
        if (m_rows[r].combo)
            m_rows[r].combo->setEnabled(on);
        if (m_rows[r].unitLabel)
            m_rows[r].unitLabel->setEnabled(on);
    }
    m_linked.fill(false);
    m_unitsTouched = false;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursorSet = true;

    for (int r : {MassRate, MassTotal, VolumeRate, VolumeTotal, StdRate, StdTotal, ConcRate, ConcTotal, Temperature})
        FillUnitCombo(Rows[r].listCode, m_rows[r].combo);
    m_link.Read_Regs(BatchBlock, BatchBytes);
    m_batchCode = m_link.image().u8At(2 * BatchBlock);
    FillUnitCombo(m_batchCode, m_rows[BatchSize].combo);
    FillUnitCombo(m_batchCode, m_rows[BatchTotal].combo);
    // The density list of this window: the four scales that have a factor.
    m_rows[Density].combo->clear();
    m_rows[Density].combo->addItems({QStringLiteral("g/cc"), QStringLiteral("Ib/ft3"), QStringLiteral("kg/m3"),
                                     QStringLiteral("Ib/gal")});
    selectConfiguredUnits();
    if (closing())
        return;
    m_poll->pollNow();
}

void TfrmViewMeasurements::selectConfiguredUnits()
{
    const auto rateAndTotal = [this](int config, int rateRow, int totalRow, int code) {
        const auto unit = ReadConfiguredUnit(m_link, config);
        if (!unit)
            return;
        SelectUnitIndex(m_rows[rateRow].combo, unit->unitIndex);
        SelectUnitIndex(m_rows[totalRow].combo, TotalIndexForRate(code, unit->unitIndex));
    };
    rateAndTotal(ConfigBlockFor(Quantity::MassFlow), MassRate, MassTotal, Quantity::MassFlow);
    rateAndTotal(ConfigBlockFor(Quantity::VolumeFlow), VolumeRate, VolumeTotal, Quantity::VolumeFlow);
    rateAndTotal(ConfigBlockFor(Quantity::StdVolumeFlow), StdRate, StdTotal, Quantity::StdVolumeFlow);
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(Quantity::Concentration))) {
        m_percentConcIndex = unit->unitIndex;
        m_rows[PercentConc].unitLabel->setText(UnitTextFor(Quantity::Concentration, unit->unitIndex));
    }
    rateAndTotal(ConfigBlockFor(Quantity::ConcentrateFlow), ConcRate, ConcTotal, Quantity::ConcentrateFlow);
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(m_batchCode))) {
        SelectUnitIndex(m_rows[BatchSize].combo, TotalIndexForRate(m_batchCode, unit->unitIndex));
        SelectUnitIndex(m_rows[BatchTotal].combo, TotalIndexForRate(m_batchCode, unit->unitIndex));
    }
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(Quantity::Density)))
        SelectUnitIndex(m_rows[Density].combo, unit->unitIndex);
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(Quantity::Temperature)))
        SelectUnitIndex(m_rows[Temperature].combo, unit->unitIndex);
    // The totals now show the units their rates imply, so they follow the rates.
    recomputeLinks();
}

void TfrmViewMeasurements::restoreCursor()
{
    if (m_cursorSet) {
        m_cursorSet = false;
        QGuiApplication::restoreOverrideCursor();
    }
}

void TfrmViewMeasurements::poll()
{
    restoreCursor();
    m_poll->read(TotalsBlock, TotalsBytes);
    showRows(MassRate, VolumeRev);
    if (m_fullModel) {
        showRows(StdRate, StdRev);
        m_poll->read(ConcentrationBlock, ConcentrationBytes);
        showRow(PercentConc);
        if (closing())
            return;
        showRows(ConcRate, ConcRev);
        m_poll->read(BatchBlock, BatchBytes);
        showRows(BatchSize, BatchTotal);
        if (closing())
            return;
    }
    showDensityUnit();
    showRow(Density);
    if (closing())
        return;
    showRow(Temperature);
    if (closing())
        return;
    m_poll->read(ProcessBlock, ProcessBytes);
    showRows(Frequency, Phase);
    if (m_trend && !m_poll->pollFailed()) {
        QList<double> values;
        for (const RowWidgets &w : m_rows) {
            bool ok = false;
            const double v = w.value->text().toDouble(&ok);
            values << (ok && w.value->isEnabled() ? v : qQNaN());
        }
        m_trend->addSample(QDateTime::currentDateTime(), values);
    }
}

void TfrmViewMeasurements::btnTrendClick()
{
    if (m_trend) {
        m_trend->raise();
        m_trend->activateWindow();
        return;
    }
    QList<TrendRow> rows;
    for (const RowWidgets &w : m_rows) {
        const QString unit = w.combo && w.combo->isVisible() ? w.combo->currentText()
                             : w.unitLabel                  ? w.unitLabel->text()
                                                            : QString();
        rows << TrendRow{w.caption->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed(), unit};
    }
    m_trend = new TfrmTrend(rows, this);
    m_trend->setAttribute(Qt::WA_DeleteOnClose);
    m_trend->show();
}

void TfrmViewMeasurements::showDensityUnit()
{
    const auto unit = ReadConfiguredUnit(m_link, DensityConfig);
    // The transmitter then reports density in °API: shown as it comes.
    m_densityApi = unit && unit->unitIndex == DensityApiIndex;
    m_rows[Density].combo->setVisible(!m_densityApi);
    ui->Label28->setVisible(m_densityApi);
}

void TfrmViewMeasurements::showRows(int first, int last)
{
    for (int r = first; r <= last; ++r)
        showRow(r);
}

void TfrmViewMeasurements::showRow(int row)
{
    const RowDef &def = Rows[row];
    const RegisterImage &image = m_link.image();
    double value = image.f64Reg(def.reg);
    if (def.source == Source::Forward)
        value = image.f64Reg(def.reg + ForwardOffsetRegs);
    else if (def.source == Source::Reverse)
        value -= image.f64Reg(def.reg + ForwardOffsetRegs);
    int unitIndex = def.unitRow >= 0 ? m_rows[def.unitRow].combo->currentIndex()
                                     : (row == PercentConc ? m_percentConcIndex : 0);
    if (row == Density && m_densityApi)
        unitIndex = DensityApiIndex;
    if (def.conversion != NoConversion)
        value = FromBase(codeOf(def.conversion), value, unitIndex, SpecialFactorsFrom(m_link));
    m_rows[row].value->setText(FormatValue(codeOf(def.format), value));
    if (def.unitKind == UnitKind::Combo)
        showSpecialText(row);
    if (def.unitKind == UnitKind::TotalLabel)
        m_rows[row].unitLabel->setText(m_rows[def.unitRow].combo->currentText());
}

int TfrmViewMeasurements::pairOfRow(int row, bool *isRate) const
{
    for (int p = 0; p < PairCount; ++p) {
        if (Pairs[p].rateRow == row || Pairs[p].totalRow == row) {
            *isRate = Pairs[p].rateRow == row;
            return p;
        }
    }
    return -1;
}

int TfrmViewMeasurements::derivedTotalIndex(const UnitPair &pair) const
{
    const int rateIndex = m_rows[pair.rateRow].combo->currentIndex();
    // Batch size and batch total share one list.
    if (pair.rateRow == BatchSize)
        return rateIndex;
    return TotalIndexForRate(Rows[pair.rateRow].listCode, rateIndex);
}

void TfrmViewMeasurements::recomputeLinks()
{
    for (int p = 0; p < PairCount; ++p)
        m_linked[size_t(p)] = m_rows[Pairs[p].totalRow].combo->currentIndex() == derivedTotalIndex(Pairs[p]);
}

// A Special unit shows its own text. The conversion has just read its record, so
// the text comes from the image and stays in step with the factor.
void TfrmViewMeasurements::showSpecialText(int row)
{
    QComboBox *combo = m_rows[row].combo;
    const int special = SpecialIndexOf(codeOf(Rows[row].listCode));
    const int code = codeOf(Rows[row].specialCode);
    const int record = SpecialRecordRegisterFor(code);
    if (special < 0 || combo->currentIndex() != special || record == 0)
        return;
    const QString text = SpecialUnitTextFrom(code, SpecialUnitRecord::fromImage(m_link.image(), record));
    if (!text.isEmpty())
        combo->setItemText(special, text);
}

void TfrmViewMeasurements::unitChanged(int row)
{
    GuardedWindow::BusyScope scope(*this);
    showRow(row);
    bool isRate = false;
    const int p = pairOfRow(row, &isRate);
    if (p < 0)
        return;
    const UnitPair &pair = Pairs[p];
    if (isRate) {
        if (!m_linked[size_t(p)])
            return;
        SelectUnitIndex(m_rows[pair.totalRow].combo, derivedTotalIndex(pair));
        showRow(pair.totalRow);
        for (int r = pair.totalRow + 1; r < RowCount && Rows[r].unitRow == pair.totalRow; ++r)
            showRow(r);
    } else {
        m_linked[size_t(p)] = m_rows[pair.totalRow].combo->currentIndex() == derivedTotalIndex(pair);
        for (int r = row + 1; r < RowCount && Rows[r].unitRow == row; ++r)
            showRow(r);
    }
}

void TfrmViewMeasurements::btnSaveUnitsClick()
{
    m_unitsTouched = true;
    QString error;
    if (!m_unitFile.save(&error))
        showMessage(error, QStringLiteral("Save Units"), Prompter::Error);
}

void TfrmViewMeasurements::btnLoadUnitsClick()
{
    m_unitsTouched = true;
    m_unitFile.load();
    recomputeLinks();
}

void TfrmViewMeasurements::btnCloseClick()
{
    requestClose();
}

void TfrmViewMeasurements::beforeFinish()
{
    m_poll->stop();
    restoreCursor();
    if (m_unitsTouched)
        btnSaveUnitsClick();
}

OnePageReport TfrmViewMeasurements::report() const
{
    OnePageReport page(QStringLiteral("Ostrel - View Measurements"),
                       m_link.image().textAt(2 * TagRegister, TagChars));
    for (int r = 0; r < RowCount; ++r) {
        if (!rowEnabled(r))
            continue;
        const RowWidgets &w = m_rows[r];
        QString unit;
        if (r == Density && ui->Label28->isVisibleTo(this))
            unit = ui->Label28->text();
        else
            unit = w.combo ? w.combo->currentText() : w.unitLabel->text();
        page.addRow({w.caption->text(), w.value->text(), unit});
    }
    return page;
}

void TfrmViewMeasurements::btnPrintClick()
{
    report().print(this);
}
