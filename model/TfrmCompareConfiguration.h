#pragma once

#include "ConfigurationComparison.h"
#include "RegisterImage.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmCompareConfiguration;
}

class ModbusLink;

// "Compare with Unit": reads a configuration file and the connected transmitter and
// lists every field that differs, with the value in each. The list prints through
// the program's report printer.
class TfrmCompareConfiguration : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCompareConfiguration(ModbusLink &link, QWidget *parent = nullptr);
    ~TfrmCompareConfiguration() override;

    // Asks for a .cfg or .bin file, then compares it. False when the user cancelled
    // or either side could not be read (the reason has been shown).
    bool chooseFileAndCompare();
    bool compareWithUnit(const QString &fileName);
    const QList<ConfigurationComparison::Difference> &differences() const { return m_differences; }

public slots:
    void btnPrintClick();

private:
    void showDifferences();

    std::unique_ptr<Ui::TfrmCompareConfiguration> ui;
    ModbusLink &m_link;
    QString m_fileName;
    RegisterImage m_file;
    RegisterImage m_unit;
    QList<ConfigurationComparison::Difference> m_differences;
};
