#include "TfrmChangePassword.h"

#include "EnterMovesFocus.h"
#include "HelpWindow.h"
#include "Prompter.h"
#include "ui_TfrmChangePassword.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace {

QString g_lastUser;

constexpr int HelpContext = 4632;

// Leaving a field by the user's own move, not because another window came up.
bool leftByUser(const QEvent *event)
{
    if (event->type() != QEvent::FocusOut)
        return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

bool isEnterOrTab(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab;
}

} // namespace

TfrmChangePassword::TfrmChangePassword(PasswordCheck check, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmChangePassword>())
    , m_check(std::move(check))
{
    ui->setupUi(this);
    setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42 }"));
    for (QWidget *hidden : {static_cast<QWidget *>(ui->lblNewPassword), static_cast<QWidget *>(ui->NewPassword),
                            static_cast<QWidget *>(ui->lblConfirmPassword),
                            static_cast<QWidget *>(ui->ConfirmPassword)})
        hidden->setVisible(false);
    ui->User->setText(g_lastUser);
    EnterMovesFocus::install(this, {ui->User, ui->Password});
    ui->Password->installEventFilter(this);
    ui->NewPassword->installEventFilter(this);
    connect(ui->ConfirmPassword, &QLineEdit::textEdited, this, &TfrmChangePassword::ConfirmPasswordChange);
    connect(ui->btnOK, &QPushButton::clicked, this, &TfrmChangePassword::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmChangePassword::reject);
    connect(ui->btnHelp, &QPushButton::clicked, this, [] { showHelpContext(HelpContext); });
}

TfrmChangePassword::~TfrmChangePassword() = default;

QString TfrmChangePassword::userId() const
{
    return ui->User->text();
}

QString TfrmChangePassword::newPassword() const
{
    return ui->NewPassword->text();
}

QString TfrmChangePassword::confirmation() const
{
    return ui->ConfirmPassword->text();
}

void TfrmChangePassword::forgetLastUser()
{
    g_lastUser.clear();
}

void TfrmChangePassword::done(int result)
{
    g_lastUser = ui->User->text();
    QDialog::done(result);
}

bool TfrmChangePassword::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->Password && ui->Password->isEnabled() && leftByUser(event))
        PasswordExit();
    // The new-password field is the only one left that takes the focus, so Enter
    // and Tab move on from it here.
    if (watched == ui->NewPassword && ui->ConfirmPassword->isHidden()
        && (leftByUser(event) || isEnterOrTab(event))) {
        NewPasswordExit();
        return event->type() == QEvent::KeyPress;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmChangePassword::PasswordExit()
{
    if (!m_check(ui->User->text(), ui->Password->text())) {
        showMessage(QStringLiteral("Invalid password"), windowTitle(), Prompter::Warning);
        return;
    }
    ui->lblNewPassword->setVisible(true);
    ui->NewPassword->setVisible(true);
    ui->User->setEnabled(false);
    ui->Password->setEnabled(false);
    ui->NewPassword->setFocus();
}

void TfrmChangePassword::NewPasswordExit()
{
    ui->lblConfirmPassword->setVisible(true);
    ui->ConfirmPassword->setVisible(true);
    ui->ConfirmPassword->setFocus();
}

void TfrmChangePassword::ConfirmPasswordChange()
{
    ui->btnOK->setEnabled(true);
    ui->btnOK->setDefault(true);
}
