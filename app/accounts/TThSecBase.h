#pragma once

#include "BlowfishCipher.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// The user store: accounts with enciphered passwords and access levels, one file
// per application in a folder private to the user (mode 0600, replaced atomically).
// Every operation reads the file afresh and writes it back whole, so two running
// copies of the program share their accounts. User IDs match without regard to
// case and may hold any character. A file that cannot be read or parsed raises
// ESecurityBadDB and is never overwritten.
//
// Failures raise the ESecurityError classes of SecurityErrors.h.
class TThSecBase {
public:
    // rootDir: the folder of the store files; empty for $XDG_CONFIG_HOME/Quillmoor
    // (~/.config/Quillmoor). Created when missing.
    explicit TThSecBase(const QString &rootDir = QString());
    // Marks the open application "Closed"; a failure is reported, not raised.
    ~TThSecBase();
    TThSecBase(const TThSecBase &) = delete;
    TThSecBase &operator=(const TThSecBase &) = delete;

    static QString defaultRootDir();

    // Closes the application opened before (marking it "Closed"), then creates or
    // opens the store of `name` and marks it "Open".
    void openApplication(const QString &name);
    bool isActive() const { return m_active; }
    QString applicationName() const { return m_applicationName; }
    // The "Open" or "Closed" mark of the open application's file.
    QString applicationState() const;
    QString storePath() const;

    // Creates the user or replaces the password.
    void registerUser(const QString &userId, const QString &password);
    // False when no application is open, the user is unknown or the password differs.
    bool checkUser(const QString &userId, const QString &password) const;
    bool userExists(const QString &userId) const;
    // Both need a matching user ID and password, else ESecurityBadPW.
    void setAccess(const QString &userId, const QString &password, const QString &levelText);
    QString getAccess(const QString &userId, const QString &password) const;

    // Passwords compare without regard to case unless this is set.
    void setCaseSensitive(bool on) { m_caseSensitive = on; }

private:
    QString storePathFor(const QString &application) const;
    QJsonObject load(const QString &path) const;
    void save(const QString &path, const QJsonObject &store) const;
    void markState(const QString &application, const QString &state);
    static std::optional<int> findUser(const QJsonObject &store, const QString &userId);
    void requireValidUser(const QString &userId, const QString &password) const;
    std::optional<QString> encrypt(const QString &plain) const;
    std::optional<QString> decrypt(const QString &hex) const;

    QString m_rootDir;
    QString m_applicationName;
    bool m_active = false;
    bool m_caseSensitive = false;
    BlowfishCipher m_cipher;
};
