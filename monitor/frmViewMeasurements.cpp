#include "frmViewMeasurements.h"

#include "LiveBlocks.h"
#include "LiveRows.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "OnePageReport.h"
#include "PollCycle.h"
#include "Prompter.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "Session.h"
#include "UnitConversion.h"
#include "UnitCombos.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "ui_frmViewMeasurements.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {
// Live blocks the poll reads.
constexpr int TotalsBlock = 244, TotalsBytes = 154;
constexpr int ConcentrationBlock = 416, ConcentrationBytes = 52;
constexpr int BatchBlock = 550, BatchBytes = 52;
constexpr int DensityConfig = 748;
constexpr int DensityApiIndex = 4;
constexpr int TagRegister = 578, TagChars = 20;
const QString KRM410 = QStringLiteral("KRM410");

// The quantity code of the batched total, known once CfgBatch has been read.
constexpr int BatchCode = LiveRows::RuntimeCode(0);
// Rows the reduced model does not have.
enum Group { Always, StdVolume, Concentration, Batch };

enum Row {
    MassRate, MassTotal, MassFwd, MassRev,
    VolumeRate, VolumeTotal, VolumeFwd, VolumeRev,
    StdRate, StdTotal, StdFwd, StdRev,
    PercentConc, ConcRate, ConcTotal, ConcFwd, ConcRev,
    BatchSize, BatchTotal, Density, Temperature, Frequency, Phase,
    RowCount
};

using P = LiveRowDef::Part;
}  // namespace

using Q = TfrmViewMeasurements;

TfrmViewMeasurements::TfrmViewMeasurements(ModbusLink &link, Session &session, QWidget *parent)
    : GuardedWindow(parent),
      m_link(link),
      m_session(session),
      ui(std::make_unique<Ui::TfrmViewMeasurements>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    m_poll = new PollCycle(*this, m_link, [this] { poll(); });
    // In the order of the Row enum.
    m_rows = new LiveRows(*this, m_link, {
        {.value = "txtMassRate", .reg = 252, .conversion = 5, .format = 5, .unit = "cboMassRate", .listCode = 5, .specialCode = 5},
        {.value = "txtMassTotal", .reg = 244, .conversion = 6, .format = 6, .unit = "cboMassTotal", .listCode = 6, .specialCode = 6},
        {.value = "txtMassTotalFwd", .reg = 244, .part = P::Forward, .conversion = 38, .format = 38, .unit = "lblMassTotalFwdUnit", .unitFrom = "cboMassTotal"},
        {.value = "txtMassTotalRev", .reg = 244, .part = P::Reverse, .conversion = 6, .format = 39, .unit = "lblMassTotalRevUnit", .unitFrom = "cboMassTotal"},
        {.value = "txtVolumeRate", .reg = 287, .conversion = 7, .format = 7, .unit = "cboVolumeRate", .listCode = 7, .specialCode = 7},
        {.value = "txtVolumeTotal", .reg = 279, .conversion = 8, .format = 8, .unit = "cboVolumeTotal", .listCode = 8, .specialCode = 8},
        {.value = "txtVolTotalFwd", .reg = 279, .part = P::Forward, .conversion = 40, .format = 40, .unit = "lblVolTotalFwdUnit", .unitFrom = "cboVolumeTotal"},
        {.value = "txtVolTotalRev", .reg = 279, .part = P::Reverse, .conversion = 41, .format = 41, .unit = "lblVolTotalRevUnit", .unitFrom = "cboVolumeTotal"},
        {.value = "txtStdVolRate", .reg = 304, .conversion = 9, .format = 9, .unit = "cboStdVolRate", .listCode = 9, .specialCode = 9, .group = StdVolume},
        {.value = "txtStdVolTotal", .reg = 296, .conversion = 10, .format = 10, .unit = "cboStdVolTotal", .listCode = 10, .specialCode = 10, .group = StdVolume},
        {.value = "txtStdVolTotalFwd", .reg = 296, .part = P::Forward, .conversion = 42, .format = 42, .unit = "lblStdVolTotalFwdUnit", .unitFrom = "cboStdVolTotal", .group = StdVolume},
        {.value = "txtStdVolTotalRev", .reg = 296, .part = P::Reverse, .conversion = 43, .format = 43, .unit = "lblStdVolTotalRevUnit", .unitFrom = "cboStdVolTotal", .group = StdVolume},
        {.value = "txtPercentConc", .reg = 424, .conversion = 11, .format = 11, .unit = "lblPercentConcUnit", .group = Concentration},
        {.value = "txtConcRate", .reg = 433, .conversion = 12, .format = 12, .unit = "cboConcRate", .listCode = 12, .specialCode = 5, .group = Concentration},
        {.value = "txtConcTotal", .reg = 416, .conversion = 13, .format = 13, .unit = "cboConcTotal", .listCode = 13, .specialCode = 6, .group = Concentration},
        {.value = "txtConcTotalFwd", .reg = 416, .part = P::Forward, .conversion = 44, .format = 44, .unit = "lblConcTotalFwdUnit", .unitFrom = "cboConcTotal", .group = Concentration},
        {.value = "txtConcTotalRev", .reg = 416, .part = P::Reverse, .conversion = 45, .format = 45, .unit = "lblConcTotalRevUnit", .unitFrom = "cboConcTotal", .group = Concentration},
        {.value = "txtBatchSize", .reg = 551, .conversion = BatchCode, .format = BatchCode, .unit = "cboBatchSize", .listCode = BatchCode, .specialCode = BatchCode, .group = Batch},
        {.value = "txtBatchTotal", .reg = 313, .conversion = BatchCode, .format = BatchCode, .unit = "cboBatchTotal", .listCode = BatchCode, .specialCode = BatchCode, .group = Batch},
        // The density list of this window holds the four scales that have a factor.
        {.value = "txtDensity", .reg = 270, .conversion = 4, .format = 4, .unit = "cboDensity"},
        {.value = "txtTemperature", .reg = 261, .conversion = 3, .format = 3, .unit = "cboTemperature", .listCode = 3},
        {.value = "txtFrequency", .reg = 459, .format = 1, .unit = "lblFrequencyUnit"},
        {.value = "txtPhase", .reg = 468, .conversion = 2, .format = 2, .unit = "lblPhaseUnit"},
    }, {
        {.rate = "cboMassRate", .total = "cboMassTotal"},
        {.rate = "cboVolumeRate", .total = "cboVolumeTotal"},
        {.rate = "cboStdVolRate", .total = "cboStdVolTotal"},
        {.rate = "cboConcRate", .total = "cboConcTotal"},
        {.rate = "cboBatchSize", .total = "cboBatchTotal", .sameList = true},
    }, LiveRows::LinkRule::Always);
    Q_ASSERT(m_rows->count() == RowCount);
    m_rows->keepUnits(QLatin1String(IniSection), {
        {"MassRate", "cboMassRate"}, {"MassTotal", "cboMassTotal"}, {"VolumeRate", "cboVolumeRate"},
        {"VolumeTotal", "cboVolumeTotal"}, {"StdVolRate", "cboStdVolRate"}, {"StdVolTotal", "cboStdVolTotal"},
        {"ConcRate", "cboConcRate"}, {"ConcTotal", "cboConcTotal"}, {"BatchSize", "cboBatchSize"},
        {"BatchTotal", "cboBatchTotal"}, {"Density", "cboDensity"}, {"Temperature", "cboTemperature"},
    });
    connect(ui->btnSaveUnits, &QPushButton::clicked, this, &Q::btnSaveUnitsClick);
    connect(ui->btnLoadUnits, &QPushButton::clicked, this, &Q::btnLoadUnitsClick);
    connect(ui->btnPrint, &QPushButton::clicked, this, &Q::btnPrintClick);
    connect(ui->btnTrend, &QPushButton::clicked, this, &Q::btnTrendClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &Q::btnCloseClick);
}

TfrmViewMeasurements::~TfrmViewMeasurements()
{
    restoreCursor();
}

void TfrmViewMeasurements::FormActivate()
{
    m_poll->stop();
    m_fullModel = m_session.deviceModel() != KRM410;
    for (int group : {StdVolume, Concentration, Batch})
        m_rows->setGroupEnabled(group, m_fullModel);
    m_rows->forgetUnitsTouched();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursorSet = true;

    m_link.Read_Regs(BatchBlock, BatchBytes);
    m_rows->setRuntimeCode(0, m_link.image().u8At(2 * BatchBlock));
    m_rows->fillCombos();
    QComboBox *density = m_rows->combo(Density);
    density->clear();
    density->addItems({QStringLiteral("g/cc"), QStringLiteral("Ib/ft3"), QStringLiteral("kg/m3"), QStringLiteral("Ib/gal")});
    selectConfiguredUnits();
    if (closing())
        return;
    m_poll->pollNow();
}

void TfrmViewMeasurements::selectConfiguredUnits()
{
    const auto rateAndTotal = [this](int code, int rateRow) {
        if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(code)))
            m_rows->selectRate(rateRow, unit->unitIndex);
    };
    rateAndTotal(Quantity::MassFlow, MassRate);
    rateAndTotal(Quantity::VolumeFlow, VolumeRate);
    rateAndTotal(Quantity::StdVolumeFlow, StdRate);
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(Quantity::Concentration))) {
        m_rows->setFixedUnitIndex(PercentConc, unit->unitIndex);
        ui->lblPercentConcUnit->setText(UnitTextFor(Quantity::Concentration, unit->unitIndex));
    }
    rateAndTotal(Quantity::ConcentrateFlow, ConcRate);
    const int batchCode = m_rows->codeOf(BatchCode);
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(batchCode)))
        m_rows->selectRate(BatchSize, TotalIndexForRate(batchCode, unit->unitIndex));
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(Quantity::Density)))
        SelectUnitIndex(m_rows->combo(Density), unit->unitIndex);
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(Quantity::Temperature)))
        SelectUnitIndex(m_rows->combo(Temperature), unit->unitIndex);
    // The totals now show the units their rates imply, so they follow the rates.
    m_rows->recomputeLinks();
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
    m_rows->showRows(MassRate, VolumeRev);
    if (m_fullModel) {
        m_rows->showRows(StdRate, StdRev);
        m_poll->read(ConcentrationBlock, ConcentrationBytes);
        m_rows->showRow(PercentConc);
        if (closing())
            return;
        m_rows->showRows(ConcRate, ConcRev);
        m_poll->read(BatchBlock, BatchBytes);
        m_rows->showRows(BatchSize, BatchTotal);
        if (closing())
            return;
    }
    showDensityUnit();
    m_rows->showRow(Density);
    if (closing())
        return;
    m_rows->showRow(Temperature);
    if (closing())
        return;
    m_poll->read(ProcessBlock, ProcessBytes);
    m_rows->showRows(Frequency, Phase);
    m_rows->feedTrend(!m_poll->pollFailed());
}

void TfrmViewMeasurements::btnTrendClick()
{
    m_rows->openTrend(this);
}

void TfrmViewMeasurements::showDensityUnit()
{
    const auto unit = ReadConfiguredUnit(m_link, DensityConfig);
    // The transmitter then reports density in °API: shown as it comes.
    const bool api = unit && unit->unitIndex == DensityApiIndex;
    m_rows->showLabelForUnit(Density, ui->Label28, api ? std::optional<int>(DensityApiIndex) : std::nullopt);
}

void TfrmViewMeasurements::btnSaveUnitsClick()
{
    m_rows->saveUnits();
}

void TfrmViewMeasurements::btnLoadUnitsClick()
{
    m_rows->loadUnits();
}

void TfrmViewMeasurements::btnCloseClick()
{
    requestClose();
}

void TfrmViewMeasurements::beforeFinish()
{
    m_poll->stop();
    restoreCursor();
    m_rows->saveUnitsIfTouched();
}

OnePageReport TfrmViewMeasurements::report() const
{
    return m_rows->report(QStringLiteral("Ostrel - View Measurements"), m_link.image().textAt(2 * TagRegister, TagChars));
}

void TfrmViewMeasurements::btnPrintClick()
{
    report().print(this);
}
