#include "frmViewErrorLog.h"

#include "ModbusLink.h"
#include "OperationRecord.h"
#include "Prompter.h"
#include "Session.h"
#include "TextTable.h"
#include "ui_frmViewErrorLog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

namespace {
constexpr int ErrorLogBlock = 325, ErrorLogBytes = 98;
constexpr int FirstEntry = 326;
constexpr int EraseErrorLogCoil = 54;
constexpr int VisibleRows = 16;
const QString ClearTitle = QStringLiteral("Clear Error Log");
}  // namespace

TfrmViewErrorLog::TfrmViewErrorLog(ModbusLink &link, Session &session, QWidget *parent)
    : GuardedWindow(parent), m_link(link), m_session(session), ui(std::make_unique<Ui::TfrmViewErrorLog>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    // Three narrow columns and a description three columns wide; at most 16 rows
    // show, the rest scroll, and the window fits itself around the grid.
    QTableWidget *grid = ui->grdErrorLog;
    const int defaultWidth = grid->horizontalHeader()->defaultSectionSize();
    for (int c = 0; c < 3; ++c)
        grid->setColumnWidth(c, defaultWidth - 20);
    grid->setColumnWidth(3, 3 * defaultWidth);
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    grid->setFixedSize(3 * (defaultWidth - 20) + 3 * defaultWidth + grid->verticalScrollBar()->sizeHint().width() + 4,
                       grid->horizontalHeader()->sizeHint().height() + VisibleRows * rowHeight + 4);
    connect(ui->btnClear, &QPushButton::clicked, this, &TfrmViewErrorLog::btnClearClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmViewErrorLog::~TfrmViewErrorLog() = default;

QTableWidget *TfrmViewErrorLog::grid() const
{
    return ui->grdErrorLog;
}

void TfrmViewErrorLog::FormActivate()
{
    m_link.Read_Regs(ErrorLogBlock, ErrorLogBytes);
    showLog();
}

void TfrmViewErrorLog::showLog()
{
    const RegisterImage &image = m_link.image();
    int newest = image.reg(ErrorLogBlock);
    // 48 is the transmitter's "wrapped to the start"; any other value past the log
    // is damage on the wire and shows the whole log rather than reading past it.
    if (newest == EntryCount)
        newest = 0;
    else if (newest > EntryCount)
        newest = EntryCount - 1;
    ui->grdErrorLog->setRowCount(newest + 1);
    for (int row = 0, entry = newest; entry >= 0; ++row, --entry) {
        const uint16_t word = image.reg(FirstEntry + entry);
        const int code = word >> 8;
        const QString cells[] = {QString::number(entry + 1), QString::number(word & 0xFF), QString::number(code),
                                 TextTable::errorLogText(code)};
        for (int c = 0; c < 4; ++c)
            ui->grdErrorLog->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

void TfrmViewErrorLog::btnClearClick()
{
    if (showMessage(QStringLiteral("Are you sure?"), ClearTitle, Prompter::Confirmation,
                    Prompter::OK | Prompter::Cancel)
        != Prompter::IdOK)
        return;
    if (m_session.accessLevel() < Session::Programmer && !m_link.CommOverride()) {
        showMessage(QStringLiteral("Clearing the error log needs access level 2 (Programmer) or higher.\r"
                                   "The error log was not cleared."),
                    ClearTitle, Prompter::Warning);
        return;
    }
    GuardedWindow::BusyScope scope(*this);
    QByteArray empty(ErrorLogBytes, '\0');
    empty[1] = char(EntryCount);
    OperationRecord::run(m_link, ClearTitle, [&] {
        return m_link.Write_Regs(ErrorLogBlock, empty) != 0 && m_link.LastException() == 0
               && m_link.Force_Coil(EraseErrorLogCoil, 0xFF00);
    });
    if (closing())
        return;
    m_link.Read_Regs(ErrorLogBlock, ErrorLogBytes);
    showLog();
}
