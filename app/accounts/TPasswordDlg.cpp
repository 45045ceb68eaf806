#include "TPasswordDlg.h"

#include "AccessLevels.h"
#include "EnterMovesFocus.h"
#include "HelpWindow.h"
#include "ui_TPasswordDlg.h"

#include <QShowEvent>

#include <algorithm>

namespace {
QString g_lastConfirmedUser;
}

TPasswordDlg::TPasswordDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TPasswordDlg>())
{
    ui->setupUi(this);
    setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42 }"));
    ui->cboAccess->addItems(AccessLevels::accessChoices());
    ui->cboAccess->setCurrentIndex(0);
    EnterMovesFocus::install(this, {ui->User});
    connect(ui->User, &QLineEdit::textChanged, this, &TPasswordDlg::UserChange);
    connect(ui->Password, &QLineEdit::textChanged, this, &TPasswordDlg::PasswordChange);
    connect(ui->btnOK, &QPushButton::clicked, this, &TPasswordDlg::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TPasswordDlg::reject);
    connect(ui->btnHelp, &QPushButton::clicked, this, &TPasswordDlg::btnHelpClick);
}

TPasswordDlg::~TPasswordDlg() = default;

void TPasswordDlg::setAccessVisible(bool visible)
{
    ui->lblAccess->setVisible(visible);
    ui->cboAccess->setVisible(visible);
}

void TPasswordDlg::setCurrentLevel(int level)
{
    m_currentLevel = level;
    ui->cboAccess->setCurrentIndex(std::clamp(level - 1, 0, ui->cboAccess->count() - 1));
}

QString TPasswordDlg::userId() const
{
    return ui->User->text();
}

QString TPasswordDlg::password() const
{
    return ui->Password->text();
}

int TPasswordDlg::accessLevel() const
{
    return ui->cboAccess->currentIndex() + 1;
}

QString TPasswordDlg::lastConfirmedUser()
{
    return g_lastConfirmedUser;
}

void TPasswordDlg::forgetLastConfirmedUser()
{
    g_lastConfirmedUser.clear();
}

void TPasswordDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui->User->setText(g_lastConfirmedUser);
    if (g_lastConfirmedUser.isEmpty())
        ui->User->setFocus();
    else
        ui->Password->setFocus();
}

void TPasswordDlg::UserChange()
{
    const bool sameUser = !g_lastConfirmedUser.isEmpty() && ui->User->text() == g_lastConfirmedUser;
    ui->cboAccess->setCurrentIndex(sameUser ? std::clamp(m_currentLevel - 1, 0, ui->cboAccess->count() - 1) : 0);
}

void TPasswordDlg::PasswordChange()
{
    ui->btnOK->setEnabled(true);
    ui->btnOK->setDefault(true);
}

void TPasswordDlg::btnHelpClick()
{
    showHelpContext(m_helpContext);
}

void TPasswordDlg::accept()
{
    g_lastConfirmedUser = ui->User->text();
    QDialog::accept();
}
