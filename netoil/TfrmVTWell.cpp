#include "TfrmVTWell.h"

#include "Codec.h"
#include "HelpWindow.h"
#include "LiveRows.h"
#include "ModbusLink.h"
#include "OnePageReport.h"
#include "OperationRecord.h"
#include "PollCycle.h"
#include "Prompter.h"
#include "QuantityCode.h"
#include "Session.h"
#include "UnitCombos.h"
#include "UnitsLink.h"
#include "WellContext.h"
#include "WellTestStatus.h"
#include "WellTime.h"
#include "ui_frmVTWell.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Live value blocks (nine registers each) the poll reads.
constexpr int ValueBytes = 18;
constexpr int NetOilRateReg = 450, NetWaterRateReg = 1798, WaterCutReg = 1781, MassRateReg = 252,
              VolumeRateReg = 287, DensityReg = 270, TemperatureReg = 261;
// The test's parameters with its purge counters, and its running data.
constexpr int ParamsReg = 2128, ParamsBytes = 30;
constexpr int WellNoByte = 0, PurgeTypeByte = 1, PurgeSecLeftByte = 20, PurgeDumpLeftByte = 28, NoOfDumpByte = 29;
constexpr int DataReg = 2048, DataBytes = 80;
constexpr int dataReg(int byte) { return DataReg + byte / 2; }
constexpr int TimeRemainedByte = 66;
constexpr int PurgeByTime = 1, PurgeByDumps = 2;
constexpr int NetOilConfig = 1673, NetWaterConfig = 1747, MassConfig = 680, VolumeConfig = 782,
              DensityConfig = 748, TemperatureConfig = 714;
constexpr int DensityApiIndex = 4;
constexpr int TagRegister = 578, TagChars = 20;
constexpr int UnitTextChars = 10;

constexpr int RateCode = LiveRows::RuntimeCode(0), TotalCode = LiveRows::RuntimeCode(1);

enum Row {
    WellId, StdTemp, OilDensity, WaterDensity, NetOilRate, NetOilTotal, AveNetOil, NetWaterRate, NetWaterTotal,
    AveNetWaterRate, WaterCut, AveWaterCut, Density, AveDensity, Temperature, AveTemperature, MassRate, VolumeRate,
    ElapseTestTime, PurgeTime, DumpsRemained, DumpCount, RowCount
};

using Def = LiveRowDef;
constexpr Def::Source Text = Def::Source::Text;

const QString DisabledTitle = QStringLiteral(" Well Testing Disabled");
const QString DisabledText = QStringLiteral(
    "INFO: Previously selected Well contains invalid well data.....\r         To performed Well Testing, please "
    "re-select well ID    \r         in Well Test page.                                     \r");
const QString UnknownRunningText = QStringLiteral(
    "The transmitter did not answer whether the well test runs; the status shows the last known state.");
}  // namespace

TfrmVTWell::TfrmVTWell(const WindowContext &context, int)
    : GuardedWindow(context.parent), m_context(context), ui(std::make_unique<Ui::TfrmVTWell>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    m_poll = new PollCycle(*this, m_context.link, [this] { poll(); });
    if (m_context.showStatus)
        connect(m_poll, &PollCycle::statusText, this, m_context.showStatus);
    for (QComboBox *c : {ui->cboDensityUnit, ui->cboAveDensityUnit})
        c->addItems({QStringLiteral("g/cc"), QStringLiteral("Ib/ft3"), QStringLiteral("kg/m3"), QStringLiteral("Ib/gal")});

    m_rows = new LiveRows(
        *this, m_context.link,
        {
            {.value = "lblWellValue", .source = Text},
            {.value = "lblStdTempValue", .source = Text},
            {.value = "txtOilDensity", .source = Def::Source::Given, .format = Quantity::Density, .unit = "cboOilDensityUnit"},
            {.value = "txtWaterDensity", .source = Def::Source::Given, .format = Quantity::Density, .unit = "cboWaterDensityUnit"},
            {.value = "txtNetOilRate", .reg = NetOilRateReg, .conversion = RateCode, .format = RateCode,
             .unit = "cboNetOilRateUnit", .listCode = RateCode, .specialCode = RateCode},
            {.value = "txtNetOilTotal", .reg = dataReg(18), .conversion = TotalCode, .format = TotalCode,
             .unit = "cboNetOilTotalUnit", .listCode = TotalCode, .specialCode = TotalCode},
            {.value = "txtAveNetOil", .reg = dataReg(10), .conversion = RateCode, .format = RateCode,
             .unit = "cboAveNetOilRateUnit", .listCode = RateCode, .specialCode = RateCode},
            {.value = "txtNetWaterRate", .reg = NetWaterRateReg, .conversion = RateCode, .format = RateCode,
             .unit = "cboNetWaterRateUnit", .listCode = RateCode, .specialCode = RateCode},
            {.value = "txtNetWaterTotal", .reg = dataReg(34), .conversion = TotalCode, .format = TotalCode,
             .unit = "cboNetWaterTotalUnit", .listCode = TotalCode, .specialCode = TotalCode},
            {.value = "txtAveNetWaterRate", .reg = dataReg(26), .conversion = RateCode, .format = RateCode,
             .unit = "cboAveNetWaterRateUnit", .listCode = RateCode, .specialCode = RateCode},
            {.value = "txtWaterCut", .reg = WaterCutReg, .format = 51, .unit = "lblWaterCutUnit"},
            {.value = "txtAveWaterCut", .reg = dataReg(42), .format = RateCode, .unit = "lblAveWaterCutUnit"},
            {.value = "txtDensity", .reg = DensityReg, .conversion = Quantity::Density, .format = Quantity::Density,
             .unit = "cboDensityUnit"},
            {.value = "txtAveDensity", .reg = dataReg(58), .conversion = Quantity::Density,
             .format = Quantity::Density, .unit = "cboAveDensityUnit"},
            {.value = "txtTemp", .reg = TemperatureReg, .conversion = Quantity::Temperature,
             .format = Quantity::Temperature, .unit = "cboTempUnit", .listCode = Quantity::Temperature},
            {.value = "txtAveTemp", .reg = dataReg(50), .conversion = Quantity::Temperature,
             .format = Quantity::Temperature, .unit = "cboAveTempUnit", .listCode = Quantity::Temperature},
            {.value = "txtMassRate", .reg = MassRateReg, .conversion = Quantity::MassFlow, .format = Quantity::MassFlow,
             .unit = "cboMassRate", .listCode = Quantity::MassFlow, .specialCode = Quantity::MassFlow},
            {.value = "txtVolumeRate", .reg = VolumeRateReg, .conversion = Quantity::VolumeFlow,
             .format = Quantity::VolumeFlow, .unit = "cboVolumeRate", .listCode = Quantity::VolumeFlow,
             .specialCode = Quantity::VolumeFlow},
            {.value = "lblElapseTestTimeValue", .source = Text},
            {.value = "lblPurgeSecValue", .source = Text},
            {.value = "lblDumpRemainedValue", .source = Text},
            {.value = "lblDumpCountValue", .source = Text},
        },
        // Linked rate units re-derive their totals for mass as well as volume.
        {{.rate = "cboNetOilRateUnit", .total = "cboNetOilTotalUnit"},
         {.rate = "cboNetWaterRateUnit", .total = "cboNetWaterTotalUnit"}},
        LiveRows::LinkRule::Always);
    Q_ASSERT(m_rows->count() == RowCount);
    m_rows->keepUnits(QLatin1String(IniSection),
                      {{"MassRate", "cboMassRate"},
                       {"VolumeRate", "cboVolumeRate"},
                       {"OilDensity", "cboOilDensityUnit"},
                       {"WaterDensity", "cboWaterDensityUnit"},
                       {"NetWaterRate,", "cboNetWaterRateUnit"},
                       {"NetWaterTotal", "cboNetWaterTotalUnit"},
                       {"NetOilRate", "cboNetOilRateUnit"},
                       {"NetOilTotal", "cboNetOilTotalUnit"},
                       {"Density", "cboDensityUnit"},
                       {"Temperature", "cboTempUnit"}},
                      UnitTextChars);

    connect(ui->btnStart, &QPushButton::clicked, this, &TfrmVTWell::btnStartClick);
    connect(ui->btnStop, &QPushButton::clicked, this, &TfrmVTWell::btnStopClick);
    connect(ui->btnSaveUnits, &QPushButton::clicked, this, &TfrmVTWell::btnSaveUnitsClick);
    connect(ui->btnLoadUnits, &QPushButton::clicked, this, &TfrmVTWell::btnLoadUnitsClick);
    connect(ui->btnPrint, &QPushButton::clicked, this, &TfrmVTWell::btnPrintClick);
    connect(ui->btnTrend, &QPushButton::clicked, this, [this] { m_rows->openTrend(this); });
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    connect(ui->btnHelp, &QPushButton::clicked, this, [] { showHelpContext(HelpContext); });
}

TfrmVTWell::~TfrmVTWell() = default;

void TfrmVTWell::FormActivate()
{
    m_poll->stop();
    m_rows->forgetUnitsTouched();
    m_requestedCoil = NoRequest;
    {
        GuardedWindow::BusyScope scope(*this);
        takeRunning(WellTesting::readRunning(m_context.link));
        m_wasRunning = m_running;
        loadWellContext();
        if (closing())
            return;
        showButtons();
        m_rows->fillCombos();
        selectTransmitterUnits();
    }
    if (closing())
        return;
    m_poll->pollNow();
    ui->btnClose->setFocus();
}

void TfrmVTWell::loadWellContext()
{
    ModbusLink &link = m_context.link;
    link.readRegisters(ParamsReg, ParamsBytes);
    const int well = link.image().u8At(2 * ParamsReg + WellNoByte);
    const WellContext context = WellContext::read(link, well);
    m_rows->setRuntimeCode(0, context.rateCode());
    m_rows->setRuntimeCode(1, context.totalCode());
    ui->lblWellValue->setText(context.wellText());
    ui->lblStdTempValue->setText(context.stdTempText());
    m_testingDisabled = !WellTesting::wellIsValid(link, well);
    if (m_testingDisabled) {
        // A test that already runs can still be stopped.
        ui->btnStart->setEnabled(false);
        ui->btnStop->setEnabled(m_running);
        showMessage(DisabledText, DisabledTitle, Prompter::Information);
    }
    context.showDensities(*m_rows, OilDensity, WaterDensity);
}

// The transmitter's own units: each total in the unit its rate implies, each
// average in its live value's unit.
void TfrmVTWell::selectTransmitterUnits()
{
    ModbusLink &link = m_context.link;
    const struct {
        int config;
        std::initializer_list<int> rows;
    } units[] = {
        {NetOilConfig, {NetOilRate, AveNetOil}}, {NetWaterConfig, {NetWaterRate, AveNetWaterRate}},
        {MassConfig, {MassRate}},                {VolumeConfig, {VolumeRate}},
        {DensityConfig, {Density, AveDensity}},  {TemperatureConfig, {Temperature, AveTemperature}},
    };
    for (const auto &u : units) {
        const auto unit = ReadConfiguredUnit(link, u.config);
        if (!unit)
            continue;
        for (int row : u.rows)
            m_rows->selectRate(row, unit->unitIndex);
    }
    m_rows->recomputeLinks();
}

bool TfrmVTWell::read(int firstRegister, int byteCount)
{
    serviceRequest();
    return !closing() && m_poll->read(firstRegister, byteCount);
}

void TfrmVTWell::poll()
{
    if (read(NetOilRateReg, ValueBytes))
        m_rows->showRow(NetOilRate);
    if (read(ParamsReg, ParamsBytes))
        showPurgeRows();
    const std::pair<int, int> live[] = {
        {NetWaterRateReg, NetWaterRate}, {MassRateReg, MassRate}, {VolumeRateReg, VolumeRate}, {WaterCutReg, WaterCut}};
    for (const auto &[reg, row] : live)
        if (read(reg, ValueBytes))
            m_rows->showRow(row);
    if (read(DensityReg, ValueBytes)) {
        showDensityUnit();
        m_rows->showRow(Density);
        m_rows->showRow(AveDensity);
    }
    if (read(TemperatureReg, ValueBytes))
        m_rows->showRow(Temperature);
    if (read(DataReg, DataBytes)) {
        for (int row : {NetOilTotal, AveNetOil, NetWaterTotal, AveNetWaterRate, AveWaterCut, AveDensity, AveTemperature})
            m_rows->showRow(row);
        ui->lblElapseTestTimeValue->setText(
            WellTime::toHHMMSS(m_context.link.image().f64At(2 * DataReg + TimeRemainedByte)));
    }
    m_rows->feedTrend(!m_poll->pollFailed());
    serviceRequest();
    if (closing())
        return;
    takeRunning(WellTesting::readRunning(m_context.link));
    showTestState();
    m_wasRunning = m_running;
}

void TfrmVTWell::showPurgeRows()
{
    const RegisterImage &image = m_context.link.image();
    const int type = image.u8At(2 * ParamsReg + PurgeTypeByte);
    ui->lblPurgeSecValue->setText(WellTime::toHHMMSS(image.f64At(2 * ParamsReg + PurgeSecLeftByte)));
    ui->lblDumpRemainedValue->setText(QString::number(image.u8At(2 * ParamsReg + PurgeDumpLeftByte)));
    ui->lblDumpCountValue->setText(QString::number(image.u8At(2 * ParamsReg + NoOfDumpByte)));
    // A hidden row is disabled as well, so the printout leaves it out.
    const auto showRow = [this](int row, bool on) {
        for (QWidget *w : {static_cast<QWidget *>(m_rows->caption(row)), m_rows->caption(row)->buddy()}) {
            w->setVisible(on);
            w->setEnabled(on);
        }
    };
    showRow(PurgeTime, type == PurgeByTime);
    showRow(DumpsRemained, type == PurgeByDumps);
    showRow(DumpCount, type == PurgeByDumps);
}

void TfrmVTWell::showDensityUnit()
{
    // Only the unit byte: the whole configuration block would double the time of a poll.
    read(DensityConfig, 2);
    // The transmitter then reports density in °API: shown as it comes.
    const bool api = m_context.link.image().u8At(2 * DensityConfig) == DensityApiIndex;
    const std::optional<int> index = api ? std::optional<int>(DensityApiIndex) : std::nullopt;
    m_rows->showLabelForUnit(Density, ui->lblDensityAPI, index);
    m_rows->showLabelForUnit(AveDensity, ui->lblAveDensityAPI, index);
}

void TfrmVTWell::takeRunning(WellTesting::Running state)
{
    if (state == WellTesting::Running::Unknown) {
        m_runningUnknown = true;
        if (m_context.showStatus)
            m_context.showStatus(UnknownRunningText);
        return;
    }
    if (m_runningUnknown && m_context.showStatus)
        m_context.showStatus(QString());
    m_runningUnknown = false;
    m_running = state == WellTesting::Running::Yes;
}

void TfrmVTWell::requestCoil(int coil)
{
    if (m_testingDisabled && coil == StartCoil)
        return;
    m_requestedCoil = coil;
    // No second click while the request waits.
    ui->btnStart->setEnabled(false);
    ui->btnStop->setEnabled(false);
    // Between polls the request goes out at once; during one, before its next read.
    if (!m_poll->polling())
        m_poll->pollNow();
}

void TfrmVTWell::btnStartClick()
{
    requestCoil(StartCoil);
}

void TfrmVTWell::btnStopClick()
{
    requestCoil(StopCoil);
}

void TfrmVTWell::serviceRequest()
{
    if (m_requestedCoil != NoRequest && !closing())
        toggle();
}

// The button pressed decides the coil: a Start never stops a test that began
// after the last poll, a Stop never starts one.
void TfrmVTWell::toggle()
{
    const int coil = m_requestedCoil;
    m_requestedCoil = NoRequest;
    ModbusLink &link = m_context.link;
    ui->lblWellTestStat->setText(QStringLiteral("Processing..."));
    bool forced = false;
    WellTesting::Running state = WellTesting::Running::Unknown;
    {
        // Starting and stopping are open to every user: the coil goes out at Programmer level.
        WellTesting::RaisedAccessLevel raised(m_context.session, Session::Programmer);
        forced = OperationRecord::run(link, coil == StartCoil ? QStringLiteral("Well Test: start") : QStringLiteral("Well Test: stop"),
                                      [&] { return link.Force_Coil(coil, ModbusFrame::CoilOn); });
        state = WellTesting::readRunning(link);
    }
    takeRunning(state);
    // The status comes from the test as it is now, not from the counters of the last poll.
    if (link.readRegisters(ParamsReg, ParamsBytes))
        showPurgeRows();
    link.readRegisters(DataReg, DataBytes);
    if (!forced)
        showMessage(coil == StartCoil ? QStringLiteral("The transmitter did not take the command to start the well test.")
                                      : QStringLiteral("The transmitter did not take the command to stop the well test."),
                    QStringLiteral("Well Test"), Prompter::Warning);
    showTestState();
    m_wasRunning = m_running;
}

void TfrmVTWell::showButtons()
{
    // A well without valid data cannot be tested; a test already running can always be stopped.
    ui->btnStart->setEnabled(!m_running && !m_testingDisabled);
    ui->btnStop->setEnabled(m_running);
    ui->btnStart->setIcon(m_running ? QIcon() : QIcon(QStringLiteral(":/images/PortOpen.svg")));
    ui->btnStop->setIcon(m_running ? QIcon(QStringLiteral(":/images/PortClose.svg")) : QIcon());
    ui->btnStart->setProperty("glyph", m_running ? QString() : QStringLiteral("PortOpen"));
    ui->btnStop->setProperty("glyph", m_running ? QStringLiteral("PortClose") : QString());
}

void TfrmVTWell::showTestState()
{
    showButtons();

    const RegisterImage &image = m_context.link.image();
    WellTestProgress progress;
    progress.purgeSecLeft = image.f64At(2 * ParamsReg + PurgeSecLeftByte);
    progress.dumpsLeft = image.u8At(2 * ParamsReg + PurgeDumpLeftByte);
    progress.timeRemained = image.f64At(2 * DataReg + TimeRemainedByte);
    ui->lblWellTestStat->setText(wellTestStatus(progress, m_running));

    // Stopped, the live net values are drawn in the button face (so they do not
    // show) and their units cannot be changed; the test's averages stay readable.
    for (int row : {NetOilRate, NetWaterRate, WaterCut, Density, Temperature}) {
        QWidget *value = m_rows->caption(row)->buddy();
        QPalette palette = value->parentWidget()->palette();
        if (!m_running) {
            palette.setColor(QPalette::Text, palette.color(QPalette::Button));
            palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        }
        value->setPalette(palette);
        if (QComboBox *combo = m_rows->combo(row))
            combo->setEnabled(m_running);
    }
    ui->lblWaterCutUnit->setEnabled(m_running);
    if (m_running && !m_wasRunning) {
        GuardedWindow::BusyScope scope(*this);
        loadWellContext();
    }
}

void TfrmVTWell::btnSaveUnitsClick()
{
    m_rows->saveUnits();
}

void TfrmVTWell::btnLoadUnitsClick()
{
    m_rows->loadUnits();
    // The averages follow the live density and temperature units.
    ui->cboAveDensityUnit->setCurrentIndex(ui->cboDensityUnit->currentIndex());
    ui->cboAveTempUnit->setCurrentIndex(ui->cboTempUnit->currentIndex());
    // The well's densities are not polled: show them in the loaded units now (the
    // printout takes what is shown).
    m_rows->showRow(OilDensity);
    m_rows->showRow(WaterDensity);
}

void TfrmVTWell::beforeFinish()
{
    m_poll->stop();
    m_rows->saveUnitsIfTouched();
}

OnePageReport TfrmVTWell::report() const
{
    return m_rows->report(QStringLiteral("Ostrel - View Well Measurements"),
                          m_context.link.image().textAt(2 * TagRegister, TagChars));
}

void TfrmVTWell::btnPrintClick()
{
    report().print(this);
}

TARVINE_REGISTER_WINDOW(456701, TfrmVTWell);
