#pragma once

#include <QString>

#include <stdexcept>

// Error boxes of the user store carry the application title.
inline const QString SecurityErrorTitle = QStringLiteral("Tarvine 2");

// Failures of the user store. The message is what the user is shown.
class ESecurityError : public std::runtime_error {
public:
    explicit ESecurityError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// The store as a whole (its folder or file) cannot be used.
class ESecurityBadDB : public ESecurityError {
public:
    using ESecurityError::ESecurityError;
};

// The application's part of the store cannot be used.
class ESecurityBadApp : public ESecurityError {
public:
    using ESecurityError::ESecurityError;
};

// A user's entry cannot be written.
class ESecurityBadUser : public ESecurityError {
public:
    using ESecurityError::ESecurityError;
};

// User ID and password do not match.
class ESecurityBadPW : public ESecurityError {
public:
    using ESecurityError::ESecurityError;
};
