#include "TfrmUnitID.h"

#include "CommSetup.h"
#include "ModbusLink.h"
#include "Prompter.h"
#include "ui_TfrmUnitID.h"

#include <QLineEdit>
#include <QPushButton>

TfrmUnitID::TfrmUnitID(CommSetup &comm, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmUnitID>()), m_comm(comm)
{
    ui->setupUi(this);
    txtUnitID = ui->txtUnitID;
    btnOK = ui->btnOK;
    btnCancel = ui->btnCancel;
    connect(txtUnitID, &QLineEdit::textChanged, this, &TfrmUnitID::txtUnitIDExit);
    connect(btnOK, &QPushButton::clicked, this, &TfrmUnitID::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormActivate();
}

TfrmUnitID::~TfrmUnitID() = default;

void TfrmUnitID::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TfrmUnitID::FormActivate()
{
    const QSignalBlocker quiet(txtUnitID);
    txtUnitID->setText(QString::number(m_comm.pc().unitId));
    m_candidate = -1;
}

void TfrmUnitID::txtUnitIDExit()
{
    m_candidate = -1;
    const QString text = txtUnitID->text();
    if (text.isEmpty())
        return;
    QString problem;
    const int id = parseUnitId(text, &problem);
    if (id >= 0) {
        m_candidate = id;
        return;
    }
    showMessage(problem, windowTitle(), Prompter::Warning, Prompter::OK);
    const QSignalBlocker quiet(txtUnitID);
    txtUnitID->setText(QString::number(m_comm.pc().unitId));
}

void TfrmUnitID::btnOKClick()
{
    if (m_candidate >= 0) {
        QString error;
        m_comm.pc().unitId = m_candidate;
        m_comm.link().setUnitId(m_candidate);
        if (!m_comm.file().saveUnitId(m_candidate, &error))
            showMessage(error, windowTitle(), Prompter::Error);
        m_comm.notifyPanels();
    }
    accept();
}
