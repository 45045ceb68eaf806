#include "frmViewNetOil.h"

#include "LiveRows.h"
#include "ModbusLink.h"
#include "OnePageReport.h"
#include "PollCycle.h"
#include "Prompter.h"
#include "UnitCombos.h"
#include "UnitConversion.h"
#include "UnitsLink.h"
#include "WellContext.h"
#include "WindowRegistry.h"
#include "ui_frmViewNetOil.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {
// Live blocks the poll reads: a value block is 9 registers, a totalizer 8.
constexpr int ValueBytes = 18, TotalBytes = 16;
constexpr int NetOilRateBlock = 450, NetOilTotalBlock = 442;
constexpr int NetWaterRateBlock = 1798, NetWaterTotalBlock = 1790;
constexpr int WaterCutBlock = 1781, DensityBlock = 270, TemperatureBlock = 261;
constexpr int NetOilConfig = 1673, NetWaterConfig = 1747, DensityConfig = 748, TemperatureConfig = 714;
constexpr int DensityApiIndex = 4;
constexpr int TagRegister = 578, TagChars = 20;
// Texts kept in TARVINE.INI are cut to this width.
constexpr int UnitTextChars = 10;

// Net values convert as volume (7, 8) or mass (5, 6), as the net-oil setup says.
constexpr int RateCode = LiveRows::RuntimeCode(0);
constexpr int TotalCode = LiveRows::RuntimeCode(1);

enum Row {
    WellId, StdTemp, OilDensity, WaterDensity,
    NetOilRate, NetOilTotal, NetOilFwd, NetOilRev,
    NetWaterRate, NetWaterTotal, NetWaterFwd, NetWaterRev,
    NetFlowTotal, NetFlowFwd, NetFlowRev,
    WaterCut, Density, Temperature,
    RowCount
};

using P = LiveRowDef::Part;
using S = LiveRowDef::Source;
}  // namespace

using Q = TfrmViewNetOil;

TfrmViewNetOil::TfrmViewNetOil(const WindowContext &context, int)
    : GuardedWindow(context.parent), m_link(context.link), ui(std::make_unique<Ui::TfrmViewNetOil>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    m_poll = new PollCycle(*this, m_link, [this] { poll(); });
    if (context.showStatus)
        connect(m_poll, &PollCycle::statusText, this, context.showStatus);
    // In the order of the Row enum.
    m_rows = new LiveRows(*this, m_link, {
        {.value = "lblWellValue", .source = S::Text},
        {.value = "lblStdTempValue", .source = S::Text},
        {.value = "txtOilDensity", .source = S::Given, .format = 4, .unit = "cboOilDensityUnit"},
        {.value = "txtWaterDensity", .source = S::Given, .format = 4, .unit = "cboWaterDensityUnit"},
        {.value = "txtNetOilRate", .reg = NetOilRateBlock, .conversion = RateCode, .format = RateCode, .unit = "cboNetOilRateUnit", .listCode = RateCode, .specialCode = RateCode},
        {.value = "txtNetOilTotal", .reg = NetOilTotalBlock, .conversion = TotalCode, .format = TotalCode, .unit = "cboNetOilTotalUnit", .listCode = TotalCode, .specialCode = TotalCode},
        {.value = "txtNetOilTotalFwd", .reg = NetOilTotalBlock, .part = P::Forward, .conversion = TotalCode, .format = TotalCode, .unit = "lblNetOilTotalFwdUnit", .unitFrom = "cboNetOilTotalUnit"},
        {.value = "txtNetOilTotalRev", .reg = NetOilTotalBlock, .part = P::Reverse, .conversion = TotalCode, .format = TotalCode, .unit = "lblNetOilTotalRevUnit", .unitFrom = "cboNetOilTotalUnit"},
        {.value = "txtNetWaterRate", .reg = NetWaterRateBlock, .conversion = RateCode, .format = RateCode, .unit = "cboNetWaterRateUnit", .listCode = RateCode, .specialCode = RateCode},
        {.value = "txtNetWaterTotal", .reg = NetWaterTotalBlock, .conversion = TotalCode, .format = TotalCode, .unit = "cboNetWaterTotalUnit", .listCode = TotalCode, .specialCode = TotalCode},
        {.value = "txtNetWaterTotalFwd", .reg = NetWaterTotalBlock, .part = P::Forward, .conversion = TotalCode, .format = TotalCode, .unit = "lblNetWaterTotalFwdUnit", .unitFrom = "cboNetWaterTotalUnit"},
        {.value = "txtNetWaterTotalRev", .reg = NetWaterTotalBlock, .part = P::Reverse, .conversion = TotalCode, .format = TotalCode, .unit = "lblNetWaterTotalRevUnit", .unitFrom = "cboNetWaterTotalUnit"},
        {.value = "txtNetVolumeTotal", .reg = NetOilTotalBlock, .plusReg = NetWaterTotalBlock, .conversion = TotalCode, .format = TotalCode, .unit = "cboNetVolumeTotalUnit", .listCode = TotalCode, .specialCode = TotalCode},
        {.value = "txtNetVolTotalFwd", .reg = NetOilTotalBlock, .plusReg = NetWaterTotalBlock, .part = P::Forward, .conversion = TotalCode, .format = TotalCode, .unit = "lblNetVolTotalFwdUnit", .unitFrom = "cboNetVolumeTotalUnit"},
        {.value = "txtNetVolTotalRev", .reg = NetOilTotalBlock, .plusReg = NetWaterTotalBlock, .part = P::Reverse, .conversion = TotalCode, .format = TotalCode, .unit = "lblNetVolTotalRevUnit", .unitFrom = "cboNetVolumeTotalUnit"},
        // Water cut shows as the transmitter reports it, in percent.
        {.value = "txtWaterCut", .reg = WaterCutBlock, .format = 51, .unit = "lblWaterCutUnit"},
        {.value = "txtDensity", .reg = DensityBlock, .conversion = 4, .format = 4, .unit = "cboDensityUnit"},
        {.value = "txtTemp", .reg = TemperatureBlock, .conversion = 3, .format = 3, .unit = "cboTempUnit", .listCode = 3},
    }, {
        {.rate = "cboNetOilRateUnit", .total = "cboNetOilTotalUnit"},
        {.rate = "cboNetWaterRateUnit", .total = "cboNetWaterTotalUnit"},
    }, LiveRows::LinkRule::VolumeOnly);
    Q_ASSERT(m_rows->count() == RowCount);
    m_rows->keepUnits(QLatin1String(IniSection), {
        {"NetFlowTotal", "cboNetVolumeTotalUnit"}, {"OilDensity", "cboOilDensityUnit"},
        {"WaterDensity", "cboWaterDensityUnit"}, {"NetWaterRate,", "cboNetWaterRateUnit"},
        {"NetWaterTotal", "cboNetWaterTotalUnit"}, {"NetOilRate", "cboNetOilRateUnit"},
        {"NetOilTotal", "cboNetOilTotalUnit"}, {"Density", "cboDensityUnit"}, {"Temperature", "cboTempUnit"},
    }, UnitTextChars);
    ui->cboDensityUnit->addItems({QStringLiteral("g/cc"), QStringLiteral("Ib/ft3"), QStringLiteral("kg/m3"),
                                  QStringLiteral("Ib/gal")});
    connect(ui->btnSaveUnits, &QPushButton::clicked, this, &Q::btnSaveUnitsClick);
    connect(ui->btnLoadUnits, &QPushButton::clicked, this, &Q::btnLoadUnitsClick);
    connect(ui->btnPrint, &QPushButton::clicked, this, &Q::btnPrintClick);
    connect(ui->btnTrend, &QPushButton::clicked, this, [this] { m_rows->openTrend(this); });
    connect(ui->btnClose, &QPushButton::clicked, this, &Q::requestClose);
}

TfrmViewNetOil::~TfrmViewNetOil() = default;

void TfrmViewNetOil::FormActivate()
{
    m_poll->stop();
    m_rows->forgetUnitsTouched();
    loadContext();
    selectConfiguredUnits();
    if (closing())
        return;
    m_poll->pollNow();
    ui->btnClose->setFocus();
}

void TfrmViewNetOil::loadContext()
{
    const WellContext context = WellContext::read(m_link);
    m_rows->setRuntimeCode(0, context.rateCode());
    m_rows->setRuntimeCode(1, context.totalCode());
    ui->lblStdTempValue->setText(context.stdTempText());
    ui->lblWellValue->setText(context.wellText());
    context.showDensities(*m_rows, OilDensity, WaterDensity);
    m_rows->fillCombos();
}

void TfrmViewNetOil::selectConfiguredUnits()
{
    if (const auto unit = ReadConfiguredUnit(m_link, NetOilConfig)) {
        m_rows->selectRate(NetOilRate, unit->unitIndex);
        // The sum of the two totals starts where the net oil total does.
        SelectUnitIndex(m_rows->combo(NetFlowTotal), TotalIndexForRate(m_rows->codeOf(RateCode), unit->unitIndex));
    }
    if (const auto unit = ReadConfiguredUnit(m_link, NetWaterConfig))
        m_rows->selectRate(NetWaterRate, unit->unitIndex);
    if (const auto unit = ReadConfiguredUnit(m_link, DensityConfig))
        SelectUnitIndex(m_rows->combo(Density), unit->unitIndex);
    if (const auto unit = ReadConfiguredUnit(m_link, TemperatureConfig))
        SelectUnitIndex(m_rows->combo(Temperature), unit->unitIndex);
    m_rows->recomputeLinks();
}

void TfrmViewNetOil::poll()
{
    m_poll->read(NetOilRateBlock, ValueBytes);
    m_rows->showRow(NetOilRate);
    m_poll->read(NetOilTotalBlock, TotalBytes);
    m_rows->showRows(NetOilTotal, NetOilRev);
    m_poll->read(NetWaterRateBlock, ValueBytes);
    m_rows->showRow(NetWaterRate);
    m_poll->read(NetWaterTotalBlock, TotalBytes);
    m_rows->showRows(NetWaterTotal, NetFlowRev);
    if (closing())
        return;
    m_poll->read(WaterCutBlock, ValueBytes);
    m_rows->showRow(WaterCut);
    m_poll->read(DensityBlock, ValueBytes);
    // A transmitter set to °API reports density in °API: shown as it comes.
    const auto unit = ReadConfiguredUnit(m_link, DensityConfig);
    const bool api = unit && unit->unitIndex == DensityApiIndex;
    m_rows->showLabelForUnit(Density, ui->lblDensityAPI, api ? std::optional<int>(DensityApiIndex) : std::nullopt);
    m_rows->showRow(Density);
    if (closing())
        return;
    m_poll->read(TemperatureBlock, ValueBytes);
    m_rows->showRow(Temperature);
    m_rows->feedTrend(!m_poll->pollFailed());
}

void TfrmViewNetOil::btnSaveUnitsClick()
{
    m_rows->saveUnits();
}

void TfrmViewNetOil::btnLoadUnitsClick()
{
    m_rows->loadUnits();
    // The well's densities are not polled: show them in the loaded units now.
    m_rows->showRow(OilDensity);
    m_rows->showRow(WaterDensity);
}

void TfrmViewNetOil::beforeFinish()
{
    m_poll->stop();
    m_rows->saveUnitsIfTouched();
}

OnePageReport TfrmViewNetOil::report() const
{
    return m_rows->report(QStringLiteral("Ostrel - View NetOil Measurements"),
                          m_link.image().textAt(2 * TagRegister, TagChars),
                          {"txtNetOilRate", "txtNetOilTotal", "txtNetOilTotalFwd", "txtNetOilTotalRev",
                           "txtNetVolumeTotal", "txtNetVolTotalFwd", "txtNetVolTotalRev", "lblWellValue",
                           "txtOilDensity", "txtWaterDensity", "txtNetWaterRate", "txtNetWaterTotal",
                           "txtNetWaterTotalFwd", "txtNetWaterTotalRev", "txtWaterCut", "txtDensity", "txtTemp",
                           "lblStdTempValue"});
}

void TfrmViewNetOil::btnPrintClick()
{
    report().print(this);
}

TARVINE_REGISTER_WINDOW(24, TfrmViewNetOil);
