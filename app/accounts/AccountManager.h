#pragma once

#include <QString>
#include <QStringList>

class Session;
class TThSecBase;

// What logging in, adding users and changing passwords do to the store and the
// session once the user has filled in a dialog. Every failure is shown through
// the prompter; nothing here raises except ensureBuiltInAccounts.
class AccountManager {
public:
    AccountManager(TThSecBase &store, Session &session);

    // Creates the built-in accounts that are missing (administrators, password
    // equal to the user ID). Accounts that exist are left alone, so a changed
    // password stays changed. Raises ESecurityError when the store fails.
    void ensureBuiltInAccounts();

    // Checks the credentials, shows "Access Granted" or "Access Denied" and sets
    // the session's user name, level and logged-in flag. Returns the new level.
    int login(const QString &userId, const QString &password);
    // The login dialog was cancelled: only the user name is cleared.
    void loginCancelled();
    void logout();

    // Creates the account or replaces its password and level (1..3).
    bool addUser(const QString &userId, const QString &password, int level);
    // True when the store knows this user with this password (any letter case).
    bool passwordValid(const QString &userId, const QString &password);
    // Stores the confirmation as the new password when it equals newPassword
    // without regard to case; otherwise says "Verification failed...".
    bool changePassword(const QString &userId, const QString &newPassword, const QString &confirmation);

    // The account allowed to open the acknowledgements window.
    static bool isAcknowledgementsUser(const QString &userName);
    static QStringList builtInUserIds();

private:
    int storedLevel(const QString &userId, const QString &password);

    TThSecBase &m_store;
    Session &m_session;
};
