#pragma once

#include "GuardedWindow.h"

#include <memory>

namespace Ui {
class TfrmViewMeasurements;
}

class LiveRows;
class ModbusLink;
class OnePageReport;
class PollCycle;
class Session;

// "View Measurements": the transmitter's process values, polled once a second and
// shown in the units the user picks per row. Rate and total units are linked
// while the total unit is the one the rate unit implies. Unit choices are kept in
// TARVINE.INI; the values print as one page.
class TfrmViewMeasurements : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 20;
    static constexpr int HelpContext = 20;
    static constexpr const char *IniSection = "ViewMeas Units";

    TfrmViewMeasurements(ModbusLink &link, Session &session, QWidget *parent = nullptr);
    ~TfrmViewMeasurements() override;

    PollCycle &pollCycle() { return *m_poll; }
    // The page btnPrint prints, as rows of caption, value and unit.
    OnePageReport report() const;

public slots:
    void btnSaveUnitsClick();
    void btnLoadUnitsClick();
    void btnCloseClick();
    void btnPrintClick();
    // Opens the trend beside the view; it takes every poll's values as shown.
    void btnTrendClick();

protected:
    void FormActivate() override;
    void beforeFinish() override;

private:
    void poll();
    void selectConfiguredUnits();
    void showDensityUnit();
    void restoreCursor();

    ModbusLink &m_link;
    Session &m_session;
    std::unique_ptr<Ui::TfrmViewMeasurements> ui;
    PollCycle *m_poll;
    LiveRows *m_rows;
    bool m_cursorSet = false;
    bool m_fullModel = true;
};
