#include "frmViewErrorLog.h"

#include "ModbusLink.h"
#include "Prompter.h"
#include "Session.h"
#include "TextTable.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int ErrorLogBlock = 325, ErrorLogBytes = 98;
constexpr int FirstEntry = 326;
constexpr int EraseErrorLogCoil = 54;
constexpr int VisibleRows = 16;
const QString ClearTitle = QStringLiteral("Clear Error Log");
}  // namespace

TfrmViewErrorLog::TfrmViewErrorLog(ModbusLink &link, Session &session, QWidget *parent)
    : GuardedWindow(parent), m_link(link), m_session(session)
{
    setObjectName(QStringLiteral("frmViewErrorLog"));
    setWindowTitle(QStringLiteral("View Error Log"));
    setProperty("helpContext", HelpContext);
    grdErrorLog = new QTableWidget(0, 4);
    grdErrorLog->setObjectName(QStringLiteral("grdErrorLog"));
    grdErrorLog->setHorizontalHeaderLabels(
        {QStringLiteral("Entry"), QStringLiteral("Task"), QStringLiteral("Code"), QStringLiteral("Description")});
    grdErrorLog->verticalHeader()->hide();
    grdErrorLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdErrorLog->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const int defaultWidth = grdErrorLog->horizontalHeader()->defaultSectionSize();
    for (int c = 0; c < 3; ++c)
        grdErrorLog->setColumnWidth(c, defaultWidth - 20);
    grdErrorLog->setColumnWidth(3, 3 * defaultWidth);
    const int rowHeight = grdErrorLog->verticalHeader()->defaultSectionSize();
    grdErrorLog->setFixedSize(3 * (defaultWidth - 20) + 3 * defaultWidth + 24,
                              grdErrorLog->horizontalHeader()->sizeHint().height() + VisibleRows * rowHeight + 4);

    auto *btnClear = new QPushButton(QStringLiteral("C&lear"));
    btnClear->setObjectName(QStringLiteral("btnClear"));
    auto *btnClose = new QPushButton(QStringLiteral("&Close"));
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClear, &QPushButton::clicked, this, &TfrmViewErrorLog::btnClearClick);
    connect(btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClear);
    buttons->addWidget(btnClose);
    auto *top = new QVBoxLayout(this);
    top->addWidget(grdErrorLog);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
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
    grdErrorLog->setRowCount(newest + 1);
    for (int row = 0, entry = newest; entry >= 0; ++row, --entry) {
        const uint16_t word = image.reg(FirstEntry + entry);
        const int code = word >> 8;
        const QString cells[] = {QString::number(entry + 1), QString::number(word & 0xFF), QString::number(code),
                                 TextTable::errorLogText(code)};
        for (int c = 0; c < 4; ++c)
            grdErrorLog->setItem(row, c, new QTableWidgetItem(cells[c]));
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
    const int16_t written = m_link.Write_Regs(ErrorLogBlock, empty);
    if (written != 0 && m_link.LastException() == 0)
        m_link.Force_Coil(EraseErrorLogCoil, 0xFF00);
    if (closing())
        return;
    m_link.Read_Regs(ErrorLogBlock, ErrorLogBytes);
    showLog();
}
