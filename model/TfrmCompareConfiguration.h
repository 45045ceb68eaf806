#pragma once

#include "ConfigurationComparison.h"
#include "RegisterImage.h"

#include <QDialog>
#include <QSet>

#include <memory>

namespace Ui {
class TfrmCompareConfiguration;
}

class ModbusLink;

// "Compare with Unit": reads a configuration file and the connected transmitter and
// lists every field that differs, with the value in each. The reading shows its
// progress and Cancel or Escape stops it. The list prints through the program's
// report printer, saves as CSV, and the ticked fields can be written to the unit.
class TfrmCompareConfiguration : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCompareConfiguration(ModbusLink &link, QWidget *parent = nullptr);
    ~TfrmCompareConfiguration() override;

    // Asks for a .cfg or .bin file and loads it; the unit is read once the window
    // shows. False when the user cancelled or the file could not be read (the reason
    // has been shown).
    bool chooseFile();
    // Loads the file and reads the unit now. False when either side could not be
    // read or the reading was stopped.
    bool compareWithUnit(const QString &fileName);
    const QList<ConfigurationComparison::Difference> &differences() const { return m_differences; }

public slots:
    void btnPrintClick();
    void btnSaveClick();
    void btnWriteClick();
    void btnCancelClick();
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Step { Idle, Reading, Writing };

    bool loadFile(const QString &fileName);
    bool readUnit();
    void setStep(Step step);
    void showDifferences();
    void showProgress(const QString &text, int step, int steps);
    QList<ConfigurationComparison::Difference> tickedDifferences() const;

    std::unique_ptr<Ui::TfrmCompareConfiguration> ui;
    ModbusLink &m_link;
    QString m_fileName;
    RegisterImage m_file;
    RegisterImage m_unit;
    bool m_unitRead = false;
    bool m_readOnShow = false;
    bool m_closeWhenDone = false;
    Step m_step = Step::Idle;
    QString m_lastWrite;
    QSet<QString> m_ticked;
    QList<ConfigurationComparison::Difference> m_differences;
};
