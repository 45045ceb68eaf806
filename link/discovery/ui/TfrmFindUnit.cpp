#include "TfrmFindUnit.h"

#include "ui_TfrmFindUnit.h"

TfrmFindUnit::TfrmFindUnit(ModbusLink &link, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmFindUnit>()), m_link(link), m_scanner(link)
{
    ui->setupUi(this);
    ui->lblPort->setText(tr("Port: %1").arg(link.settings().port));
    connect(ui->btnStart, &QPushButton::clicked, this, &TfrmFindUnit::btnStartClick);
    connect(ui->btnStop, &QPushButton::clicked, this, &TfrmFindUnit::btnStopClick);
    connect(ui->btnUse, &QPushButton::clicked, this, &TfrmFindUnit::btnUseClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &TfrmFindUnit::reject);
    connect(ui->tblFound, &QTableWidget::itemSelectionChanged, this, &TfrmFindUnit::updateButtons);
    connect(ui->tblFound, &QTableWidget::cellDoubleClicked, this, &TfrmFindUnit::btnUseClick);
    connect(&m_scanner, &UnitScanner::progress, this, [this](int done, int total, const QString &trying) {
        ui->prgScan->setMaximum(total);
        // The try under way counts, so the bar moves from the first one.
        ui->prgScan->setValue(trying.isEmpty() ? done : done + 1);
        if (!trying.isEmpty())
            ui->lblStatus->setText(tr("Trying %1…").arg(trying));
    });
    connect(&m_scanner, &UnitScanner::unitFound, this, &TfrmFindUnit::addRow);
    if (link.onNetwork())
        ui->lblStatus->setText(tr("Find Unit scans serial ports only. To find units behind a network port, run: "
                                  "tarvine-cli --port %1 scan").arg(link.settings().port));
    updateButtons();
}

TfrmFindUnit::~TfrmFindUnit() = default;

bool TfrmFindUnit::narrowPlan()
{
    QList<int> framings;
    if (ui->chkAscii->isChecked())
        framings << ModbusLink::Ascii;
    if (ui->chkRtu->isChecked())
        framings << ModbusLink::Rtu;
    QList<int> bauds;
    QList<int> ids;
    const QString rates = ui->txtRates->text().trimmed();
    const QString unitIds = ui->txtUnitIds->text().trimmed();
    QString problem;
    if (framings.isEmpty())
        problem = tr("Tick ASCII, RTU or both.");
    else if (!rates.isEmpty() && !ScanWords::parseNumberList(rates, 50, 4000000, &bauds))
        problem = tr("Baud rates are numbers separated by commas, e.g. 9600,19200.");
    else if (!unitIds.isEmpty() && !ScanWords::parseUnitIds(unitIds, &ids))
        problem = tr("Unit IDs are numbers or ranges from 1 to 247, e.g. 1-10,247.");
    if (!problem.isEmpty()) {
        ui->lblStatus->setText(problem);
        return false;
    }
    m_plan.framings = framings;
    // Empty fields leave what the plan holds (all rates, all IDs unless set otherwise).
    if (!rates.isEmpty())
        m_plan.bauds = bauds;
    if (!unitIds.isEmpty())
        m_plan.unitIds = ids;
    return true;
}

void TfrmFindUnit::btnStartClick()
{
    if (m_scanning || m_link.onNetwork() || !narrowPlan())
        return;
    m_scanning = true;
    m_found.clear();
    ui->tblFound->setRowCount(0);
    updateButtons();
    m_plan.stopAtFirst = ui->chkStopAtFirst->isChecked();
    m_scanner.run(m_plan);
    m_scanning = false;

    QString status;
    if (!m_scanner.portError().isEmpty())
        status = tr("The port could not be used: %1").arg(m_scanner.portError());
    else if (m_found.isEmpty())
        status = m_scanner.wasStopped() ? tr("Stopped; no unit found so far.")
                                        : tr("No unit answered at any framing, rate or parity. Check the cabling "
                                             "and that the unit is powered.");
    else
        status = (m_scanner.wasStopped() ? tr("Stopped. ") : QString())
                 + tr("%n unit(s) found. Pick one and use its settings.", nullptr, int(m_found.size()));
    ui->lblStatus->setText(status);
    updateButtons();
    if (m_closeRequested)
        QDialog::reject();
}

void TfrmFindUnit::btnStopClick()
{
    m_scanner.stop();
}

void TfrmFindUnit::btnUseClick()
{
    const int row = ui->tblFound->currentRow();
    if (m_scanning || row < 0 || row >= m_found.size())
        return;
    const FoundUnit &unit = m_found[row];
    m_chosen = {m_link.settings().port, unit.lineSettings, unit.framing, unit.unitId};
    accept();
}

void TfrmFindUnit::reject()
{
    // Escape while scanning stops the scan; the window closes only once the scan
    // has given the port back.
    if (m_scanning) {
        m_scanner.stop();
        if (sender() == ui->btnClose)
            m_closeRequested = true;
        return;
    }
    QDialog::reject();
}

void TfrmFindUnit::addRow(const FoundUnit &unit)
{
    m_found.append(unit);
    const int row = ui->tblFound->rowCount();
    ui->tblFound->insertRow(row);
    const QStringList cells{QString::number(unit.unitId), unit.framing == ModbusLink::Rtu ? tr("RTU") : tr("ASCII"),
                            unit.lineSettings, unit.model.isEmpty() ? tr("(unknown)") : unit.model, unit.tag};
    for (int column = 0; column < cells.size(); ++column)
        ui->tblFound->setItem(row, column, new QTableWidgetItem(cells[column]));
    if (row == 0)
        ui->tblFound->selectRow(0);
}

void TfrmFindUnit::updateButtons()
{
    ui->btnStart->setEnabled(!m_scanning && !m_link.onNetwork());
    ui->btnStop->setEnabled(m_scanning);
    ui->chkStopAtFirst->setEnabled(!m_scanning);
    ui->btnUse->setEnabled(!m_scanning && ui->tblFound->currentRow() >= 0);
}
