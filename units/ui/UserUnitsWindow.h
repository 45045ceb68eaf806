#pragma once

#include "UserUnitRecords.h"

#include <QDialog>

#include <memory>

class ModbusLink;

namespace Ui {
class TfrmSpecialUnits;
}

// "Configure Special Units": edits the two user-defined Special unit records
// (mass and volume) kept in the transmitter. Apply writes the edited record,
// Undo writes back the record as it was first read.
class TfrmSpecialUnits : public QDialog {
    Q_OBJECT
public:
    static constexpr int HelpContext = 4565;

    explicit TfrmSpecialUnits(ModbusLink &link, QWidget *parent = nullptr);
    ~TfrmSpecialUnits() override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Key preview: a key typed anywhere in the window marks the record as edited.
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void FormActivate();
    void cboUnitChange();
    void cboRateChange();
    void btnApplyClick();
    void btnUndoClick();
    void btnHelpClick();

private:
    bool volumeSelected() const;
    int recordRegister() const;
    void showRecord(const SpecialUnitRecord &record);
    // Reads a factor edit; shows the conversion error and gives false when the
    // text is not a finite number.
    bool factorFrom(const QString &text, double *value);
    bool writeRecord(const SpecialUnitRecord &record);
    void markEdited();

    std::unique_ptr<Ui::TfrmSpecialUnits> ui;
    ModbusLink &m_link;
    SpecialUnitRecord m_asRead;
    SpecialUnitRecord m_editing;
    bool m_activated = false;
};
