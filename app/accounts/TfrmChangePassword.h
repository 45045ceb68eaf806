#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class TfrmChangePassword;
}

// Asks for user ID and old password; once the store accepts them, for the new
// password and then its confirmation. Remembers the user ID for the rest of the run.
class TfrmChangePassword : public QDialog {
    Q_OBJECT
public:
    // Answers whether the user ID and old password are valid.
    using PasswordCheck = std::function<bool(const QString &userId, const QString &password)>;

    explicit TfrmChangePassword(PasswordCheck check, QWidget *parent = nullptr);
    ~TfrmChangePassword() override;

    QString userId() const;
    QString newPassword() const;
    QString confirmation() const;

    static void forgetLastUser();

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void PasswordExit();
    void NewPasswordExit();
    void ConfirmPasswordChange();

private:
    std::unique_ptr<Ui::TfrmChangePassword> ui;
    PasswordCheck m_check;
};
