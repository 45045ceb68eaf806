#include "frmFileMgmt.h"

#include "ModbusLink.h"
#include "Prompter.h"
#include "TitleWidth.h"
#include "ui_frmFileMgmt.h"

#include <QCheckBox>
#include <QScreen>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>

namespace {
const QStringList Headings = {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Rev"),
                              QStringLiteral("Type"), QStringLiteral("Date"), QStringLiteral("Delete?")};
}

TfrmFileMgmt::TfrmFileMgmt(const WindowContext &context, int)
    : GuardedWindow(context.parent), m_context(context), m_files(context.link), ui(std::make_unique<Ui::TfrmFileMgmt>())
{
    ui->setupUi(this);
    widenForTitle(this);
    setProperty("helpContext", HelpContext);
    QTableWidget *g = ui->grdFiles;
    g->setColumnCount(int(Headings.size()));
    g->setHorizontalHeaderLabels(Headings);
    const int w = g->horizontalHeader()->defaultSectionSize();
    g->setColumnWidth(2, w / 2);
    g->setColumnWidth(3, w / 2);
    g->setColumnWidth(DeleteColumn, w - 38);
    g->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->btnApply->setEnabled(false);
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmFileMgmt::btnApplyClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    // Selecting a "Delete?" cell hands the keyboard to its box.
    connect(g, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (column == DeleteColumn)
            if (QCheckBox *box = deleteBox(row))
                box->setFocus();
    });
    fitGrid();
}

TfrmFileMgmt::~TfrmFileMgmt() = default;

QTableWidget *TfrmFileMgmt::grid() const
{
    return ui->grdFiles;
}

QCheckBox *TfrmFileMgmt::deleteBox(int row) const
{
    QWidget *cell = ui->grdFiles->cellWidget(row, DeleteColumn);
    return cell ? cell->findChild<QCheckBox *>() : nullptr;
}

void TfrmFileMgmt::FormActivate()
{
    const TransmitterFiles::Directory directory = m_files.list();
    ui->lblNotice->clear();
    if (!directory.read) {
        ui->lblNotice->setText(QStringLiteral("The file list could not be read from the transmitter."));
    } else if (directory.reportedCount > directory.names.size()) {
        ui->lblNotice->setText(QStringLiteral("The transmitter reports %1 files; the first %2 are listed.")
                                   .arg(directory.reportedCount)
                                   .arg(directory.names.size()));
    }
    if (directory.read && directory.names.isEmpty())
        showNoFiles();
    // Each file's record takes a few exchanges; at low baud rates the list grows
    // visibly, so it says how far it has got.
    const QString notice = ui->lblNotice->text();
    ui->lblNotice->setVisible(true);
    for (const QByteArray &name : directory.names) {
        if (closing())
            break;
        ui->lblNotice->setText(QStringLiteral("Reading file %1 of %2...").arg(m_storedNames.size() + 1).arg(directory.names.size()));
        addFileRow(name);
        fitGrid();
    }
    ui->lblNotice->setText(notice);
    ui->lblNotice->setVisible(!notice.isEmpty());
    fitGrid();
}

void TfrmFileMgmt::addFileRow(const QByteArray &storedName)
{
    QTableWidget *g = ui->grdFiles;
    const int row = g->rowCount();
    g->insertRow(row);
    m_storedNames.append(storedName);
    const std::optional<TransmitterFile> f = m_files.info(storedName);
    if (!f)
        return; // refused or lost: the row stays empty
    const QStringList cells = {f->displayName(), QString::number(f->size), f->revision, f->typeText(), f->dateText()};
    for (int c = 0; c < cells.size(); ++c)
        g->setItem(row, c, new QTableWidgetItem(cells[c]));
    auto *cell = new QWidget;
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignCenter);
    auto *box = new QCheckBox;
    box->setStyleSheet(QStringLiteral("QCheckBox::indicator { width: 15px; height: 15px; background: white; border: 1px solid gray; }"
                                      "QCheckBox::indicator:checked { image: url(:/images/TestPass.svg); }"));
    layout->addWidget(box);
    g->setCellWidget(row, DeleteColumn, cell);
    connect(box, &QCheckBox::toggled, this, &TfrmFileMgmt::tickChanged);
}

void TfrmFileMgmt::showNoFiles()
{
    QTableWidget *g = ui->grdFiles;
    g->setRowCount(1);
    m_storedNames = {QByteArray()};
    g->setItem(0, 0, new QTableWidgetItem(NoFilesText));
}

void TfrmFileMgmt::fitGrid()
{
    QTableWidget *g = ui->grdFiles;
    int width = 2 * g->frameWidth();
    for (int c = 0; c < g->columnCount(); ++c)
        width += g->columnWidth(c);
    const int rows = std::clamp(g->rowCount(), 1, VisibleRows);
    if (g->rowCount() > VisibleRows)
        width += g->verticalScrollBar()->sizeHint().width();
    const int rowHeight = g->verticalHeader()->defaultSectionSize();
    g->setFixedSize(width, g->horizontalHeader()->sizeHint().height() + rows * rowHeight + 2 * g->frameWidth());
    // The window grows with its list and stays centred on the screen.
    adjustSize();
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmFileMgmt::tickChanged(bool ticked)
{
    m_ticked += ticked ? 1 : -1;
    ui->btnApply->setEnabled(m_ticked != 0);
}

void TfrmFileMgmt::btnApplyClick()
{
    BusyScope scope(*this);
    const QString question = m_ticked == 1 ? QStringLiteral("Delete 1 file from the transmitter?")
                                           : QStringLiteral("Delete %1 files from the transmitter?").arg(m_ticked);
    if (showMessage(question, windowTitle(), Prompter::Confirmation, Prompter::Yes | Prompter::No) != Prompter::IdYes)
        return;
    QTableWidget *g = ui->grdFiles;
    // Deleted rows go; refused ones stay, still ticked.
    for (int row = 0; row < g->rowCount();) {
        QCheckBox *box = deleteBox(row);
        if (box && box->isChecked() && m_files.remove(m_storedNames[row])) {
            --m_ticked;
            g->removeRow(row);
            m_storedNames.removeAt(row);
            continue;
        }
        ++row;
    }
    ui->btnApply->setEnabled(m_ticked != 0);
    if (g->rowCount() == 0)
        showNoFiles();
    fitGrid();
}

TARVINE_REGISTER_WINDOW(4640, TfrmFileMgmt);
