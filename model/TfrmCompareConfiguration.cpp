#include "TfrmCompareConfiguration.h"

#include "ModbusLink.h"
#include "PrintObject.h"
#include "Prompter.h"
#include "ReportPrinter.h"
#include "ui_TfrmCompareConfiguration.h"

#include <QDate>
#include <QFileInfo>
#include <QHeaderView>

TfrmCompareConfiguration::TfrmCompareConfiguration(ModbusLink &link, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmCompareConfiguration>()), m_link(link)
{
    ui->setupUi(this);
    connect(ui->btnPrint, &QPushButton::clicked, this, &TfrmCompareConfiguration::btnPrintClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->chkReadings, &QCheckBox::toggled, this, &TfrmCompareConfiguration::showDifferences);
    ui->btnPrint->setEnabled(false);
    // The field names set the first column; the two sides share the rest alike.
    QHeaderView *header = ui->tblDifferences->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
}

TfrmCompareConfiguration::~TfrmCompareConfiguration() = default;

bool TfrmCompareConfiguration::chooseFileAndCompare()
{
    const QString fileName = Prompter::instance().openFileName(
        windowTitle(), tr("Configuration files (*.cfg *.bin);;All files (*)"), QString());
    return !fileName.isEmpty() && compareWithUnit(fileName);
}

bool TfrmCompareConfiguration::compareWithUnit(const QString &fileName)
{
    QString error;
    RegisterImage file;
    RegisterImage unit;
    if (!ConfigurationComparison::loadFile(fileName, file, &error)
        || !ConfigurationComparison::loadUnit(m_link, unit, &error)) {
        showMessage(error, windowTitle(), Prompter::Error);
        return false;
    }
    m_fileName = fileName;
    m_file = file;
    m_unit = unit;
    ui->lblSides->setText(tr("File: %1\nUnit: ID %2 on %3, read %4")
                              .arg(QFileInfo(fileName).absoluteFilePath())
                              .arg(m_link.settings().unitId)
                              .arg(m_link.commPanelText(), QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    showDifferences();
    return true;
}

void TfrmCompareConfiguration::showDifferences()
{
    using ConfigurationComparison::Readings;
    int readingsSkipped = 0;
    m_differences = ConfigurationComparison::differences(
        m_file, m_unit, ui->chkReadings->isChecked() ? Readings::Include : Readings::Skip, &readingsSkipped);
    ui->tblDifferences->setRowCount(int(m_differences.size()));
    for (int row = 0; row < m_differences.size(); ++row) {
        const auto &d = m_differences[row];
        const QStringList cells{d.key, d.valueA, d.valueB};
        for (int column = 0; column < cells.size(); ++column)
            ui->tblDifferences->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    QString summary = m_differences.isEmpty() ? tr("The unit holds the configuration of the file.")
                                              : tr("%1 field(s) differ.").arg(m_differences.size());
    if (readingsSkipped > 0)
        summary += tr(" %1 reading(s) the unit keeps up to date differ too and are not shown.").arg(readingsSkipped);
    ui->lblSummary->setText(summary);
    ui->btnPrint->setEnabled(!m_fileName.isEmpty());
}

void TfrmCompareConfiguration::btnPrintClick()
{
    ReportPrinter &printer = ReportPrinter::instance();
    PrintObject print(printer.pageSizeInches());
    ConfigurationComparison::buildReport(print, m_differences, QFileInfo(m_fileName).fileName(),
                                         tr("Unit ID %1").arg(m_link.settings().unitId), QDate::currentDate());
    printer.print(print, windowTitle(), 0, -1, true, this);
}
