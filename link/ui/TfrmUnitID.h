#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmUnitID;
}

class CommSetup;
class QLineEdit;
class QPushButton;

// "Verify Unit ID": confirms the unit ID before a configuration transfer. A valid
// ID becomes the PC's unit ID and is kept in TARVINE.INI; anything else is refused
// as it is typed.
class TfrmUnitID : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUnitID(CommSetup &comm, QWidget *parent = nullptr);
    ~TfrmUnitID() override;

    QLineEdit *txtUnitID = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    // The valid ID typed so far, or -1.
    int candidate() const { return m_candidate; }

public slots:
    void FormActivate();
    void txtUnitIDExit();
    void btnOKClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TfrmUnitID> ui;
    CommSetup &m_comm;
    int m_candidate = -1;
};
