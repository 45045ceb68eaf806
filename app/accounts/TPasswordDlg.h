#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TPasswordDlg;
}

// Asks for a user ID and password; for adding a user it also offers the access
// level. Remembers the last confirmed user ID for the rest of the run.
class TPasswordDlg : public QDialog {
    Q_OBJECT
public:
    explicit TPasswordDlg(QWidget *parent = nullptr);
    ~TPasswordDlg() override;

    void setAccessVisible(bool visible);
    // The session's level: preselected for the last confirmed user.
    void setCurrentLevel(int level);
    void setHelpContext(int context) { m_helpContext = context; }
    int helpContext() const { return m_helpContext; }

    QString userId() const;
    QString password() const;
    // 1..3, from the access choice.
    int accessLevel() const;

    static QString lastConfirmedUser();
    static void forgetLastConfirmedUser();

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void UserChange();
    void PasswordChange();
    void btnHelpClick();

private:
    std::unique_ptr<Ui::TPasswordDlg> ui;
    int m_currentLevel = 0;
    int m_helpContext = 4631;
};
