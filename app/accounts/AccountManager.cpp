#include "AccountManager.h"

#include "AccessLevels.h"
#include "Prompter.h"
#include "SecurityErrors.h"
#include "Session.h"
#include "TThSecBase.h"

#include <array>

namespace {

// Built-in administrators; each password equals the user ID. The second one may
// open the acknowledgements window.
constexpr std::array<const char *, 4> BuiltInUsers = {"tern", "heron", "cormorant", "egret"};

} // namespace

AccountManager::AccountManager(TThSecBase &store, Session &session)
    : m_store(store)
    , m_session(session)
{
}

void AccountManager::ensureBuiltInAccounts()
{
    for (const QString &userId : builtInUserIds()) {
        if (m_store.userExists(userId))
            continue;
        m_store.registerUser(userId, userId);
        m_store.setAccess(userId, userId, QStringLiteral("3"));
    }
}

bool AccountManager::isAcknowledgementsUser(const QString &userName)
{
    return userName.compare(QLatin1String(BuiltInUsers[1]), Qt::CaseInsensitive) == 0;
}

QStringList AccountManager::builtInUserIds()
{
    QStringList ids;
    for (const char *name : BuiltInUsers)
        ids.append(QString::fromLatin1(name));
    return ids;
}

int AccountManager::login(const QString &userId, const QString &password)
{
    bool found = false;
    int level = Session::User;
    try {
        found = m_store.checkUser(userId, password);
        if (found) {
            level = storedLevel(userId, password);
            showMessage(AccessLevels::grantedMessage(level), QStringLiteral("Access Granted"), Prompter::Information);
        } else {
            const QString reason = m_store.userExists(userId) ? QStringLiteral("Invalid Password")
                                                              : QStringLiteral("Invalid User");
            showMessage(reason + QLatin1Char('\r') + AccessLevels::grantedMessage(Session::User),
                        QStringLiteral("Access Denied"), Prompter::Warning);
        }
    } catch (const ESecurityError &e) {
        found = false;
        level = Session::User;
        showMessage(e.message(), SecurityErrorTitle, Prompter::Error);
    }
    m_session.setLoggedIn(found);
    m_session.setUserName(userId);
    m_session.setAccessLevel(level);
    return level;
}

int AccountManager::storedLevel(const QString &userId, const QString &password)
{
    const QString text = m_store.getAccess(userId, password);
    if (text.isEmpty())
        return Session::User;
    bool ok = false;
    const int level = text.toInt(&ok);
    // A level that is not one of ours is damaged data, never a guess.
    if (!ok || level < Session::User || level > Session::Administrator)
        throw ESecurityBadDB(QStringLiteral("Could not retrieve access data for UserID %1").arg(userId));
    return level;
}

void AccountManager::loginCancelled()
{
    m_session.setUserName(QString());
}

void AccountManager::logout()
{
    m_session.setLoggedIn(false);
    m_session.setAccessLevel(Session::User);
}

bool AccountManager::addUser(const QString &userId, const QString &password, int level)
{
    if (!m_store.isActive())
        return false;
    try {
        m_store.registerUser(userId, password);
        m_store.setAccess(userId, password, QString::number(level));
        return true;
    } catch (const ESecurityError &e) {
        showMessage(e.message(), SecurityErrorTitle, Prompter::Error);
        return false;
    }
}

bool AccountManager::passwordValid(const QString &userId, const QString &password)
{
    try {
        return m_store.checkUser(userId, password);
    } catch (const ESecurityError &e) {
        showMessage(e.message(), SecurityErrorTitle, Prompter::Error);
        return false;
    }
}

bool AccountManager::changePassword(const QString &userId, const QString &newPassword, const QString &confirmation)
{
    if (!m_store.isActive())
        return false;
    if (newPassword.compare(confirmation, Qt::CaseInsensitive) != 0) {
        showMessage(QStringLiteral("Verification failed.  Password not changed!"), QStringLiteral("Change Password"),
                    Prompter::Warning);
        return false;
    }
    try {
        m_store.registerUser(userId, confirmation);
        return true;
    } catch (const ESecurityError &e) {
        showMessage(e.message(), SecurityErrorTitle, Prompter::Error);
        return false;
    }
}
