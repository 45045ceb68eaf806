#pragma once

#include "AccountManager.h"

#include <optional>

class QWidget;
class Session;
class TThSecBase;

// The account actions the main window offers: each shows its dialog and applies
// the result to the store and the session.
class AccountService {
public:
    // The help context of the login dialog when a page asks for a login.
    static constexpr int LoginHelpContext = 49;

    AccountService(TThSecBase &store, Session &session);

    // The login dialog, then its messages. Returns the new access level, or
    // nullopt when the dialog was cancelled (level and logged-in flag unchanged,
    // user name cleared); the caller then stops.
    std::optional<int> login(QWidget *parent);
    void logout();
    // "Add User / Change Access": creates the account or replaces its password
    // and level. True when an account was written.
    bool addUser(QWidget *parent);
    // "Change Password". True when the new password was stored.
    bool changePassword(QWidget *parent);

    AccountManager &manager() { return m_manager; }

private:
    Session &m_session;
    AccountManager m_manager;
};
