#include "frmViewAlarmLog.h"

#include "LiveBlocks.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "NetOilQuantity.h"
#include "NumberFormat.h"
#include "Session.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "UnitsLink.h"
#include "ui_frmViewAlarmLog.h"

#include <QEvent>
#include <QPushButton>
#include <QTableWidget>

namespace {
constexpr int AlarmLogBlock = 374, AlarmLogBytes = 84;
constexpr int AlarmLog2Block = 2444, AlarmLog2Bytes = 42;
constexpr int CheckAlarmLogCoil = 62;
constexpr int ValueAlarm = 8, ValueMaxOut = 10;
constexpr int DensityFormat = 3;
constexpr int TypeChars = 22;

enum class Fmt { None, Density, Rate, Total };
enum class Conv { Configured, NetOil, None };
struct AlarmDef {
    const char *type;
    int valueBlock;  // 0: the alarm has no value
    int unitBlock;
    Fmt format;
    Conv conversion;
};
const AlarmDef Alarms[TfrmViewAlarmLog::AlarmCount] = {
    {"Temperature", 477, 714, Fmt::Total, Conv::Configured},
    {"Density", 270, 748, Fmt::Density, Conv::Configured},
    {"Concentration", 424, 1054, Fmt::Total, Conv::Configured},
    {"Mass Flow", 252, 680, Fmt::Total, Conv::Configured},
    {"Volume Flow", 287, 782, Fmt::Rate, Conv::Configured},
    {"Std Volume Flow", 304, 816, Fmt::Rate, Conv::Configured},
    {"Concentrate Flow", 433, 1020, Fmt::Rate, Conv::Configured},
    {"Net Oil Flow", 450, 1673, Fmt::Rate, Conv::NetOil},
    {"Low Batch", 0, 0, Fmt::None, Conv::None},
    {"High Batch", 0, 0, Fmt::None, Conv::None},
    {"Sensor Error", 0, 0, Fmt::None, Conv::None},
    {"DSP Failure", 0, 0, Fmt::None, Conv::None},
    {"Driver Current", 0, 0, Fmt::None, Conv::None},
    {"Tubes Not Vib", 0, 0, Fmt::None, Conv::None},
    {"4-20 Failure", 0, 0, Fmt::None, Conv::None},
    {"RTD Failure", 0, 0, Fmt::None, Conv::None},
    {"System Problem", 0, 0, Fmt::None, Conv::None},
    {"Pulse Buffer Overflow", 0, 0, Fmt::None, Conv::None},
    {"Oil % Water Cut", 1781, 1713, Fmt::Total, Conv::None},
    {"Prod. Water Rate", 1798, 1747, Fmt::Total, Conv::NetOil},
    {"", 0, 0, Fmt::None, Conv::None},
};
constexpr int WaterCutRow = 18;
// Column shares of the grid width, in percent.
constexpr int ColumnPercent[] = {5, 11, 18, 18, 14, 13};

QString statusText(int status)
{
    switch (status) {
    case 0: return QStringLiteral("Normal");
    case 1: return QStringLiteral("Alarm");
    case 2: return QStringLiteral("Fallback");
    default: return QString::number(status);
    }
}

QString formatAlarmValue(Fmt f, double v)
{
    const SizeFormats size = CurrentSizeFormats();
    return FormatByIndex(f == Fmt::Density ? DensityFormat : f == Fmt::Rate ? size.rate : size.total, v);
}
}  // namespace

TfrmViewAlarmLog::TfrmViewAlarmLog(ModbusLink &link, Session &session, QWidget *parent)
    : GuardedWindow(parent), m_link(link), m_session(session), ui(std::make_unique<Ui::TfrmViewAlarmLog>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    grdAlarmLog = ui->grdAlarmLog;
    grdAlarmLog->viewport()->installEventFilter(this);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmViewAlarmLog::~TfrmViewAlarmLog() = default;

QTableWidget *TfrmViewAlarmLog::grid() const
{
    return grdAlarmLog;
}

bool TfrmViewAlarmLog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grdAlarmLog->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return GuardedWindow::eventFilter(watched, event);
}

// Columns take their shares of the grid's width and the rows share its height.
void TfrmViewAlarmLog::fitColumns()
{
    const int width = grdAlarmLog->viewport()->width();
    int used = 0;
    for (int c = 1; c < 6; ++c) {
        grdAlarmLog->setColumnWidth(c, width * ColumnPercent[c] / 100);
        used += width * ColumnPercent[c] / 100;
    }
    // The type column takes what is left when that is more than its share.
    grdAlarmLog->setColumnWidth(0, std::max(width * ColumnPercent[0] / 100, width - used - 3));
    const int rowHeight = std::max(1, grdAlarmLog->viewport()->height() / AlarmCount);
    for (int r = 0; r < AlarmCount; ++r)
        grdAlarmLog->setRowHeight(r, rowHeight);
}

void TfrmViewAlarmLog::FormActivate()
{
    const int netOilCode = ReadNetOilQuantity(m_link);
    m_link.Read_Regs(AlarmLogBlock, AlarmLogBytes);
    for (int row = 0; row < AlarmCount && !closing(); ++row)
        showAlarm(row, netOilCode);
}

void TfrmViewAlarmLog::showAlarm(int row, int netOilCode)
{
    RegisterImage &image = m_link.image();
    const AlarmDef &def = Alarms[row];
    const auto setCell = [this, row](int column, const QString &text) {
        grdAlarmLog->setItem(row, column, new QTableWidgetItem(text));
    };
    setCell(0, QString::fromLatin1(def.type).left(TypeChars));
    const int count = image.reg(AlarmLogBlock + 2 * row);
    image.setU16At(2 * (AlarmLog2Block + row), count != 0 ? 1 : 0);
    for (int c = 1; c < 6; ++c)
        setCell(c, QString());
    if (count == 0)
        return;
    setCell(1, QString::number(count));
    if (def.valueBlock == 0)
        return;
    if (row == 0)
        m_link.Read_Regs(ProcessBlock, ProcessBytes);
    else
        m_link.Read_Regs(def.valueBlock, ValueBlockBytes);
    const int base = 2 * def.valueBlock;
    double current = image.f64At(base);
    double peak = image.f64At(base + ValueMaxOut);
    const int status = image.u16At(base + ValueAlarm);
    QString unitText = QStringLiteral("    %");
    if (def.conversion != Conv::None) {
        const auto unit = ReadConfiguredUnit(m_link, def.unitBlock);
        const int code = def.conversion == Conv::NetOil ? netOilCode : (unit ? unit->code : 0);
        const int index = unit ? unit->unitIndex : 0;
        const SpecialFactorSource special = SpecialFactorsFrom(m_link);
        current = FromBase(code, current, index, special);
        peak = FromBase(code, peak, index, special);
        unitText = UnitTextFor(code, index);
    }
    setCell(2, formatAlarmValue(def.format, peak));
    setCell(3, formatAlarmValue(def.format, current));
    setCell(4, row == WaterCutRow ? QStringLiteral("    %") : unitText);
    setCell(5, statusText(status));
}

void TfrmViewAlarmLog::beforeFinish()
{
    writeSeenFlags();
}

// The flags go out with a privileged write, unless the caller already holds one.
void TfrmViewAlarmLog::writeSeenFlags()
{
    const QByteArray flags = m_link.image().read(AlarmLog2Block, AlarmLog2Bytes);
    OperationRecord record(m_link, QStringLiteral("Alarm Log: alarms marked as seen"));
    if (m_link.CommOverride() && m_session.accessLevel() >= Session::Programmer) {
        const bool written = m_link.Write_Regs(AlarmLog2Block, flags) != 0 && m_link.LastException() == 0;
        record.finish(written ? HistoryOutcome::Done : HistoryOutcome::Refused,
                      written ? QString() : QStringLiteral("the transmitter did not take it"));
        return;
    }
    const int level = m_session.accessLevel();
    const bool override = m_link.CommOverride();
    m_session.setAccessLevel(Session::Administrator);
    m_link.setCommOverride(true);
    const int16_t written = m_link.Write_Regs(AlarmLog2Block, flags);
    const bool accepted = written != 0 && m_link.LastException() == 0;
    m_link.setCommOverride(override);
    m_session.setAccessLevel(level);
    const bool checked = accepted && m_link.Force_Coil(CheckAlarmLogCoil, 0xFF00);
    record.finish(checked ? HistoryOutcome::Done : accepted ? HistoryOutcome::FailedPartWay : HistoryOutcome::Refused,
                  checked ? QString() : QStringLiteral("the transmitter did not take it"));
}
