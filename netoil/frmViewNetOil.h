#pragma once

#include "GuardedWindow.h"

#include <memory>

namespace Ui {
class TfrmViewNetOil;
}

class LiveRows;
class ModbusLink;
class OnePageReport;
class PollCycle;
struct WindowContext;

// "View NetOil Measurement": net oil and net water rates and totals (forward and
// reverse), their sum, water cut, density and temperature, polled once a second
// beside the well in use and its densities. Net values convert as volume or mass
// as the net-oil setup says; a total follows its rate only for volume. Unit
// choices are kept in TARVINE.INI; the values print as one page.
class TfrmViewNetOil : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 24;
    static constexpr int HelpContext = 24;
    static constexpr const char *IniSection = "View NetOil Units";

    TfrmViewNetOil(const WindowContext &context, int tag = Tag);
    ~TfrmViewNetOil() override;

    PollCycle &pollCycle() { return *m_poll; }
    // The page btnPrint prints.
    OnePageReport report() const;

public slots:
    void btnSaveUnitsClick();
    void btnLoadUnitsClick();
    void btnPrintClick();

protected:
    void FormActivate() override;
    void beforeFinish() override;

private:
    void loadContext();
    void selectConfiguredUnits();
    void poll();

    ModbusLink &m_link;
    std::unique_ptr<Ui::TfrmViewNetOil> ui;
    PollCycle *m_poll;
    LiveRows *m_rows;
};
