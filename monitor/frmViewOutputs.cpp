#include "frmViewOutputs.h"

#include "LiveBlocks.h"
#include "ModbusLink.h"
#include "NetOilQuantity.h"
#include "NumberFormat.h"
#include "PollCycle.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "TextTable.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "ui_frmViewOutputs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <initializer_list>

namespace {
// Analog output block (34 registers): byte offsets of the fields shown.
constexpr int AnalogBytes = 68;
constexpr int AoValue = 16, AoMilliAmps = 24, AoPcntRange = 32, AoDacData = 40, AoParam = 66;
// Pulse output block (27 registers).
constexpr int PulseBlock = 983, PulseBytes = 54;
constexpr int PuParam = 0, PuLRange = 2, PuURange = 10, PuPulseUnit = 18, PuPcntRange = 34, PuKybrdFreq = 42,
              PuKybrdPulses = 50;
// Pulse counters: current frequency, pulses out, alarm word.
constexpr int PulsesBlock = 532, PulsesBytes = 18, PulsesOutRegs = 4;
constexpr int TotalBlockBytes = 16, TotalForward = 8;
constexpr int FreqFormat = 0, PcntFormat = 23, MilliAmpFormat = 24;
// Quantity texts stand at 60 + code in the display texts.
constexpr int QuantityTextBase = 60;

bool among(int code, std::initializer_list<int> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}
bool isNetOilRate(int c) { return among(c, {Quantity::NetOilFlow, Quantity::NetWaterRate}); }
bool isNetOilTotal(int c)
{
    return among(c, {Quantity::NetOilTotal, Quantity::NetOilTotalFwd, Quantity::NetOilTotalRev, Quantity::NetWaterTotal,
                     Quantity::NetWaterTotalFwd, Quantity::NetWaterTotalRev});
}
bool isPulseRate(int c)
{
    return among(c, {3, 4, 5, 7, 9, 11, 12, 14, 51, 50});
}
bool isPulseTotal(int c)
{
    return among(c, {6, 8, 10, 13, 16, 38, 39, 40, 41, 42, 43, 44, 45, 15, 47, 48, 52, 53, 54});
}
// Which of a totalizer's two numbers a total parameter shows.
enum class TotalPart { Value, Forward, Reverse };
TotalPart totalPart(int c)
{
    if (among(c, {38, 40, 42, 44, 47, 53}))
        return TotalPart::Forward;
    if (among(c, {39, 41, 43, 45, 48, 54}))
        return TotalPart::Reverse;
    return TotalPart::Value;
}
QString netOilCaption(int c)
{
    switch (c) {
    case 14: return QStringLiteral("Net Oil Rate:");
    case 15: return QStringLiteral("Net Oil Total:");
    case 47: return QStringLiteral("Net Oil Total Fwd:");
    case 48: return QStringLiteral("Net Oil Total Rev:");
    case 50: return QStringLiteral("% Water Cut:");
    case 51: return QStringLiteral("Net Water Rate:");
    case 52: return QStringLiteral("Net Water Total:");
    case 53: return QStringLiteral("Net Water Total Fwd:");
    case 54: return QStringLiteral("Net Water Total Rev:");
    default: return QString();
    }
}
QString hex4(unsigned value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}
QString fixed2(double value)
{
    return QString::asprintf("%-.2f", value);
}
double pulseCfg(const RegisterImage &image, int offset)
{
    return image.f64At(2 * PulseBlock + offset);
}
}  // namespace

TfrmViewOutputs::TfrmViewOutputs(ModbusLink &link, Session &session, QWidget *parent)
    : GuardedWindow(parent), m_link(link), m_session(session), ui(std::make_unique<Ui::TfrmViewOutputs>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    m_poll = new PollCycle(*this, m_link, [this] { poll(); });
    m_analog[0] = {881, ui->lblAo1Param, ui->lblAo1Unit, ui->txtAo1Value, ui->txtAo1Current, ui->txtAo1Pcnt, {}};
    m_analog[1] = {915, ui->lblAo2Param, ui->lblAo2Unit, ui->txtAo2Value, ui->txtAo2Current, ui->txtAo2Pcnt, {}};
    m_analog[2] = {949, ui->lblAo4Param, ui->lblAo4Unit, ui->txtAo4Value, ui->txtAo4Current, ui->txtAo4Pcnt, {}};
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmViewOutputs::~TfrmViewOutputs() = default;

void TfrmViewOutputs::FormActivate()
{
    m_netOilCode = ReadNetOilQuantity(m_link);
    m_initialising = true;
    m_poll->pollNow();
    m_initialising = false;
}

TfrmViewOutputs::Driven TfrmViewOutputs::describe(int param)
{
    Driven d;
    d.param = param;
    d.code = param;
    d.caption = netOilCaption(param);
    if (d.caption.isEmpty())
        d.caption = TextTable::text(QuantityTextBase + param) + QLatin1Char(':');
    if (param == Quantity::WaterCut) {
        d.unit = QStringLiteral(" %");
        return d;
    }
    // Keyboard Data has no configuration block: index 0 of its own code.
    if (const auto unit = ReadConfiguredUnit(m_link, ConfigBlockFor(param)))
        d.unitIndex = unit->unitIndex;
    if (isNetOilRate(param))
        d.code = m_netOilCode;
    else if (isNetOilTotal(param))
        d.code = m_netOilCode == Quantity::MassFlow ? Quantity::MassTotal : Quantity::VolumeTotal;
    d.unit = UnitTextFor(d.code, d.unitIndex);
    return d;
}

void TfrmViewOutputs::poll()
{
    for (int step = 0; step < 4 && !closing(); ++step) {
        if (step == 2) {
            m_poll->read(PulseBlock, PulseBytes);
            showPulse();
            continue;
        }
        AnalogGroup &g = m_analog[step < 2 ? step : 2];
        m_poll->read(g.block, AnalogBytes);
        showAnalog(g);
    }
}

void TfrmViewOutputs::showAnalog(AnalogGroup &g)
{
    const RegisterImage &image = m_link.image();
    const int base = 2 * g.block;
    if (m_initialising) {
        g.driven = describe(image.u8At(base + AoParam));
        g.caption->setText(g.driven.caption);
        g.unit->setText(g.driven.unit);
    }
    const Driven &d = g.driven;
    const double value = image.f64At(base + AoValue);
    if (d.param == Quantity::WaterCut)
        g.value->setText(FormatValue(Quantity::WaterCut, value));
    else if (d.param == Quantity::KeyboardData)
        g.value->setText(hex4(image.u16At(base + AoDacData)));
    else
        g.value->setText(FormatValue(d.code, FromBase(d.code, value, d.unitIndex, SpecialFactorsFrom(m_link))));
    g.current->setText(FormatByIndex(MilliAmpFormat, image.f64At(base + AoMilliAmps)));
    g.pcnt->setText(FormatByIndex(PcntFormat, image.f64At(base + AoPcntRange)));
}

void TfrmViewOutputs::showPulse()
{
    const RegisterImage &image = m_link.image();
    if (m_initialising) {
        m_pulse = describe(image.u8At(2 * PulseBlock + PuParam));
        ui->lblPulseParam->setText(m_pulse.caption);
        ui->lblPulseUnit->setText(m_pulse.unit);
    }
    m_poll->read(PulsesBlock, PulsesBytes);
    if (closing())
        return;
    const int param = m_pulse.param;
    if (isPulseRate(param)) {
        showPulseRate();
    } else if (isPulseTotal(param)) {
        showPulseTotal();
    } else if (param == Quantity::KeyboardData) {
        showPulseKeyboard();
    } else {
        // Outputs the configuration does not offer have nothing to show.
        for (QLineEdit *e : {ui->txtPulseValue, ui->txtPulseCurrent, ui->txtPulsePcnt})
            e->clear();
        ui->lblFreqUnit->clear();
    }
}

void TfrmViewOutputs::showPulseRate()
{
    const RegisterImage &image = m_link.image();
    const int block = ValueBlockFor(m_pulse.param);
    m_poll->read(block, ValueBlockBytes);
    const double value = image.f64Reg(block);
    const double low = pulseCfg(image, PuLRange);
    const double high = pulseCfg(image, PuURange);
    // An empty range has no percentage of its own; the transmitter's figure stands.
    const double pcnt = high == low ? pulseCfg(image, PuPcntRange) : (value - low) * 100.0 / (high - low);
    if (m_pulse.param == Quantity::WaterCut) {
        ui->txtPulseValue->setText(FormatValue(Quantity::WaterCut, value));
        ui->lblPulseUnit->setText(QStringLiteral("  %"));
    } else {
        ui->txtPulseValue->setText(
            FormatValue(m_pulse.code, FromBase(m_pulse.code, value, m_pulse.unitIndex, SpecialFactorsFrom(m_link))));
        ui->lblPulseUnit->setText(m_pulse.unit);
    }
    ui->lblPulseFreq->setText(QStringLiteral("Frequency:"));
    ui->txtPulseCurrent->setText(FormatByIndex(FreqFormat, image.f64Reg(PulsesBlock)));
    ui->lblFreqUnit->clear();
    ui->lblPulsePcnt->setText(QStringLiteral("Pulse % Range:"));
    ui->txtPulsePcnt->setText(FormatByIndex(PcntFormat, pcnt));
}

void TfrmViewOutputs::showPulseTotal()
{
    const RegisterImage &image = m_link.image();
    const int block = ValueBlockFor(m_pulse.param);
    const double pulsesOut = image.f64Reg(PulsesBlock + PulsesOutRegs);
    m_poll->read(block, TotalBlockBytes);
    const double value = image.f64Reg(block);
    const double forward = image.f64At(2 * block + TotalForward);
    double total = value;
    switch (totalPart(m_pulse.param)) {
    case TotalPart::Forward: total = forward; break;
    case TotalPart::Reverse: total = value - forward; break;
    case TotalPart::Value: break;
    }
    const int totalIndex = TotalIndexForRate(m_pulse.code, m_pulse.unitIndex);
    ui->txtPulseValue->setText(
        FormatValue(m_pulse.code, FromBase(m_pulse.code, total, totalIndex, SpecialFactorsFrom(m_link))));
    ui->lblPulseUnit->setText(m_pulse.unit);
    ui->lblPulseFreq->setText(QStringLiteral("Pulses/Unit:"));
    ui->txtPulseCurrent->setText(fixed2(pulseCfg(image, PuPulseUnit)));
    ui->lblFreqUnit->setText(QLatin1Char('/') + m_pulse.unit);
    ui->lblPulsePcnt->setText(QStringLiteral("#Pulses:"));
    ui->txtPulsePcnt->setText(fixed2(pulsesOut));
}

void TfrmViewOutputs::showPulseKeyboard()
{
    const RegisterImage &image = m_link.image();
    const unsigned pulses = image.u16At(2 * PulseBlock + PuKybrdPulses);
    const double pulsesOut = image.f64Reg(PulsesBlock + PulsesOutRegs);
    ui->txtPulseValue->setText(hex4(pulses));
    ui->lblPulseFreq->setText(QStringLiteral("Frequency:"));
    ui->txtPulseCurrent->setText(FormatByIndex(FreqFormat, pulseCfg(image, PuKybrdFreq)));
    ui->lblFreqUnit->clear();
    ui->lblPulsePcnt->setText(QStringLiteral("#Pulses:"));
    ui->txtPulsePcnt->setText(pulses == 0 ? QStringLiteral("Continuous") : fixed2(pulsesOut));
}
