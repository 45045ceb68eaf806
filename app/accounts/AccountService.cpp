#include "AccountService.h"

#include "Session.h"
#include "TPasswordDlg.h"
#include "TfrmChangePassword.h"

AccountService::AccountService(TThSecBase &store, Session &session)
    : m_session(session)
    , m_manager(store, session)
{
}

std::optional<int> AccountService::login(QWidget *parent)
{
    TPasswordDlg dialog(parent);
    dialog.setAccessVisible(false);
    dialog.setHelpContext(LoginHelpContext);
    dialog.setCurrentLevel(m_session.accessLevel());
    if (dialog.exec() != QDialog::Accepted) {
        m_manager.loginCancelled();
        return std::nullopt;
    }
    return m_manager.login(dialog.userId(), dialog.password());
}

void AccountService::logout()
{
    m_manager.logout();
}

bool AccountService::addUser(QWidget *parent)
{
    TPasswordDlg dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Add User / Change Access"));
    dialog.setAccessVisible(true);
    dialog.setCurrentLevel(m_session.accessLevel());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return m_manager.addUser(dialog.userId(), dialog.password(), dialog.accessLevel());
}

bool AccountService::changePassword(QWidget *parent)
{
    TfrmChangePassword dialog(
        [this](const QString &userId, const QString &password) { return m_manager.passwordValid(userId, password); },
        parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return m_manager.changePassword(dialog.userId(), dialog.newPassword(), dialog.confirmation());
}
