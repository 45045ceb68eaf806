#pragma once

#include "ModbusLink.h"
#include "UnitScanner.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmFindUnit;
}

// "Find Unit": scans the link's port for transmitters and offers the settings of
// the one the user picks. Escape or Stop ends a running scan (the port is left as
// it was); Escape or Close when idle closes the window. On "Use These Settings" the
// window is accepted and chosen() holds the unit's settings; applying them is the
// caller's business.
class TfrmFindUnit : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFindUnit(ModbusLink &link, QWidget *parent = nullptr);
    ~TfrmFindUnit() override;

    // What Start scans (the likely settings first, then all of them).
    ScanPlan &plan() { return m_plan; }
    bool scanning() const { return m_scanning; }
    CommSettings chosen() const { return m_chosen; }

public slots:
    void btnStartClick();
    void btnStopClick();
    void btnUseClick();
    void reject() override;

private:
    // Takes the framings, rates and unit IDs of the window into the plan; false (and
    // the reason shown) when a field cannot be used.
    bool narrowPlan();
    void addRow(const FoundUnit &unit);
    void updateButtons();

    std::unique_ptr<Ui::TfrmFindUnit> ui;
    ModbusLink &m_link;
    UnitScanner m_scanner;
    ScanPlan m_plan;
    QList<FoundUnit> m_found;
    CommSettings m_chosen;
    bool m_scanning = false;
    bool m_closeRequested = false;
};
