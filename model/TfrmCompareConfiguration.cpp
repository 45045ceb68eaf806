#include "TfrmCompareConfiguration.h"

#include "ConfigWindow.h"
#include "ModbusLink.h"
#include "PrintObject.h"
#include "Prompter.h"
#include "ReportPrinter.h"
#include "SelectedFieldsWrite.h"
#include "Session.h"
#include "ui_TfrmCompareConfiguration.h"

#include <QCloseEvent>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QSaveFile>
#include <QTimer>

using ConfigurationComparison::Difference;

namespace {
bool tickable(const Difference &d)
{
    return !ConfigurationComparison::isReading(d.key) && !ConfigurationComparison::isCommunicationSetting(d);
}
}  // namespace

TfrmCompareConfiguration::TfrmCompareConfiguration(ModbusLink &link, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmCompareConfiguration>()), m_link(link)
{
    ui->setupUi(this);
    connect(ui->btnPrint, &QPushButton::clicked, this, &TfrmCompareConfiguration::btnPrintClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TfrmCompareConfiguration::btnSaveClick);
    connect(ui->btnWrite, &QPushButton::clicked, this, &TfrmCompareConfiguration::btnWriteClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmCompareConfiguration::btnCancelClick);
    connect(ui->btnCompare, &QPushButton::clicked, this, &TfrmCompareConfiguration::readUnit);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->chkReadings, &QCheckBox::toggled, this, &TfrmCompareConfiguration::showDifferences);
    connect(ui->tblDifferences, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() != 0 || !(item->flags() & Qt::ItemIsUserCheckable))
            return;
        const QString key = m_differences.value(item->row()).key;
        if (item->checkState() == Qt::Checked)
            m_ticked.insert(key);
        else
            m_ticked.remove(key);
        setStep(m_step);
    });
    // The field names set the first column; the two sides share the rest alike.
    QHeaderView *header = ui->tblDifferences->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    ui->barProgress->setRange(0, 1);
    setStep(Step::Idle);
}

TfrmCompareConfiguration::~TfrmCompareConfiguration() = default;

bool TfrmCompareConfiguration::chooseFile()
{
    const QString fileName = Prompter::instance().openFileName(
        windowTitle(), tr("Configuration files (*.cfg *.bin);;All files (*)"), QString());
    m_readOnShow = !fileName.isEmpty() && loadFile(fileName);
    return m_readOnShow;
}

bool TfrmCompareConfiguration::compareWithUnit(const QString &fileName)
{
    return loadFile(fileName) && readUnit();
}

bool TfrmCompareConfiguration::loadFile(const QString &fileName)
{
    QString error;
    RegisterImage file;
    if (!ConfigurationComparison::loadFile(fileName, file, &error)) {
        showMessage(error, windowTitle(), Prompter::Error);
        return false;
    }
    m_fileName = fileName;
    m_file = file;
    return true;
}

void TfrmCompareConfiguration::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Read once the window is up, so the reading's progress is seen from its first block.
    if (m_readOnShow) {
        m_readOnShow = false;
        QTimer::singleShot(0, this, &TfrmCompareConfiguration::readUnit);
    }
}

bool TfrmCompareConfiguration::readUnit()
{
    QString error;
    RegisterImage unit;
    bool cancelled = false;
    setStep(Step::Reading);
    const bool read = ConfigurationComparison::loadUnit(
        m_link, unit, &error, [this](const QString &text, int step, int steps) { showProgress(text, step, steps); },
        &cancelled);
    setStep(Step::Idle);
    if (read) {
        m_unit = unit;
        m_unitRead = true;
        m_ticked.clear();
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        ui->lblSides->setText(tr("File: %1\nUnit: ID %2 on %3, read %4")
                                  .arg(QFileInfo(m_fileName).absoluteFilePath())
                                  .arg(m_link.settings().unitId)
                                  .arg(m_link.commPanelText(), time));
        ui->lblProgress->setText(tr("The unit was read at %1.").arg(time));
        showDifferences();
    } else if (cancelled) {
        ui->lblProgress->setText(tr("Reading the unit was stopped.") +
                                 (m_unitRead ? tr(" The list is from the reading before.") : QString()));
    } else {
        ui->lblProgress->setText(error);
        showMessage(error, windowTitle(), Prompter::Error);
    }
    if (m_closeWhenDone)
        QDialog::reject();
    return read;
}

void TfrmCompareConfiguration::showProgress(const QString &text, int step, int steps)
{
    ui->lblProgress->setText(text);
    ui->barProgress->setRange(0, steps);
    ui->barProgress->setValue(step);
}

void TfrmCompareConfiguration::setStep(Step step)
{
    // One step at a time: while the unit is read or written only Cancel (reading) answers.
    m_step = step;
    const bool idle = step == Step::Idle;
    ui->btnCancel->setEnabled(step == Step::Reading);
    ui->tblDifferences->setEnabled(idle);
    ui->chkReadings->setEnabled(idle);
    ui->btnClose->setEnabled(idle);
    ui->btnCompare->setEnabled(idle && !m_fileName.isEmpty());
    ui->btnPrint->setEnabled(idle && m_unitRead);
    ui->btnSave->setEnabled(idle && m_unitRead);
    ui->btnWrite->setEnabled(idle && m_unitRead && !tickedDifferences().isEmpty());
}

void TfrmCompareConfiguration::btnCancelClick()
{
    if (m_step == Step::Reading)
        m_link.session()->setAbort(true);
}

void TfrmCompareConfiguration::reject()
{
    // Escape stops a reading; the window stays to say so.
    if (m_step == Step::Reading)
        btnCancelClick();
    else if (m_step == Step::Idle)
        QDialog::reject();
}

void TfrmCompareConfiguration::closeEvent(QCloseEvent *event)
{
    if (m_step == Step::Idle) {
        QDialog::closeEvent(event);
        return;
    }
    // The window goes once the reading or writing it started has returned.
    event->ignore();
    m_closeWhenDone = true;
    btnCancelClick();
}

void TfrmCompareConfiguration::showDifferences()
{
    using ConfigurationComparison::Readings;
    int readingsSkipped = 0;
    m_differences = ConfigurationComparison::differences(
        m_file, m_unit, ui->chkReadings->isChecked() ? Readings::Include : Readings::Skip, &readingsSkipped);
    QSignalBlocker quiet(ui->tblDifferences);
    ui->tblDifferences->setRowCount(int(m_differences.size()));
    for (int row = 0; row < m_differences.size(); ++row) {
        const Difference &d = m_differences[row];
        const QStringList cells{d.key, d.valueA, d.valueB};
        for (int column = 0; column < cells.size(); ++column)
            ui->tblDifferences->setItem(row, column, new QTableWidgetItem(cells[column]));
        QTableWidgetItem *field = ui->tblDifferences->item(row, 0);
        if (tickable(d)) {
            field->setFlags(field->flags() | Qt::ItemIsUserCheckable);
            field->setCheckState(m_ticked.contains(d.key) ? Qt::Checked : Qt::Unchecked);
        } else {
            field->setToolTip(ConfigurationComparison::isReading(d.key)
                                  ? tr("A reading the unit keeps up to date: it is not written.")
                                  : tr("Communication settings are changed in the communication settings window."));
        }
    }
    QString summary = m_differences.isEmpty() ? tr("The unit holds the configuration of the file.")
                                              : tr("%1 field(s) differ.").arg(m_differences.size());
    if (readingsSkipped > 0)
        summary += tr(" %1 reading(s) the unit keeps up to date differ too and are not shown.").arg(readingsSkipped);
    if (!m_lastWrite.isEmpty())
        summary = m_lastWrite + QLatin1Char(' ') + summary;
    ui->lblSummary->setText(summary);
    setStep(m_step);
}

QList<Difference> TfrmCompareConfiguration::tickedDifferences() const
{
    QList<Difference> ticked;
    for (const Difference &d : m_differences)
        if (m_ticked.contains(d.key) && tickable(d))
            ticked << d;
    return ticked;
}

void TfrmCompareConfiguration::btnPrintClick()
{
    ReportPrinter &printer = ReportPrinter::instance();
    PrintObject print(printer.pageSizeInches());
    ConfigurationComparison::buildReport(print, m_differences, QFileInfo(m_fileName).fileName(),
                                         tr("Unit ID %1").arg(m_link.settings().unitId), QDate::currentDate());
    printer.print(print, windowTitle(), 0, -1, true, this);
}

void TfrmCompareConfiguration::btnSaveClick()
{
    QString fileName = Prompter::instance().saveFileName(windowTitle(), tr("CSV files (*.csv)"), QString(),
                                                         QStringLiteral("csv"));
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".csv");
    QStringList titles;
    for (int column = 0; column < ui->tblDifferences->columnCount(); ++column)
        titles << ui->tblDifferences->horizontalHeaderItem(column)->text();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(ConfigurationComparison::csv(m_differences, titles)) < 0
        || !file.commit()) {
        showMessage(tr("%1 could not be written: %2").arg(fileName, file.errorString()), windowTitle(),
                    Prompter::Error);
        return;
    }
    ui->lblProgress->setText(tr("Saved to %1.").arg(fileName));
}

void TfrmCompareConfiguration::btnWriteClick()
{
    const QList<Difference> ticked = tickedDifferences();
    if (ticked.isEmpty() || m_step != Step::Idle)
        return;
    // The link sends no write below Programmer: say so before asking anything.
    if (m_link.session()->accessLevel() < Session::Programmer && !m_link.CommOverride()) {
        showMessage(ConfigWindow::AccessLevelText, windowTitle(), Prompter::Warning);
        return;
    }
    const QString question =
        tr("Write %n field(s) of %1 to the unit?\n\nEach ticked field takes the file's value; every other "
           "setting of the unit stays as it is.",
           nullptr, int(ticked.size()))
            .arg(QFileInfo(m_fileName).fileName());
    if (showMessage(question, windowTitle(), Prompter::Confirmation, Prompter::Yes | Prompter::No) != Prompter::IdYes)
        return;
    setStep(Step::Writing);
    ui->lblProgress->setText(tr("Writing %n field(s) to the unit...", nullptr, int(ticked.size())));
    const SelectedFieldsWrite::Result result = SelectedFieldsWrite::write(m_link, m_file, ticked);
    setStep(Step::Idle);
    m_lastWrite = result.notWritten.isEmpty() ? tr("%n field(s) written.", nullptr, int(result.written.size()))
                              : tr("%1 of %2 field(s) written.").arg(result.written.size()).arg(ticked.size());
    // The fields the transmitter took hold the file's bytes now, even when it cannot be read again.
    for (qsizetype i = 0; i < result.written.size(); ++i) {
        const Difference &d = ticked[i];
        QByteArray bytes = m_unit.bytes();
        bytes.replace(d.byteOffset, d.byteCount, m_file.bytes().mid(d.byteOffset, d.byteCount));
        m_unit.setBytes(bytes);
    }
    m_ticked.clear();
    if (!result.ok())
        showMessage(result.report(), windowTitle(), Prompter::Warning);
    if (m_closeWhenDone) {
        QDialog::reject();
        return;
    }
    // What the unit holds now, read again.
    if (!readUnit())
        showDifferences();
}
