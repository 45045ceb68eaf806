#pragma once

#include "GuardedWindow.h"
#include "WellTesting.h"
#include "WindowRegistry.h"

#include <memory>

namespace Ui {
class TfrmVTWell;
}
class LiveRows;
class OnePageReport;
class PollCycle;

// "View Well Testing Measurements": starts and stops the transmitter's well test
// and follows it once a second: purge, live net oil and net water, the test's
// averages and totals, and the time left. The test runs in the transmitter; the
// window only forces its start and stop coils, so closing it leaves a test running.
class TfrmVTWell : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 456701;
    static constexpr int HelpContext = 456701;
    static constexpr const char *IniSection = "View NetOil Units";
    static constexpr int StartCoil = 86, StopCoil = 87;

    TfrmVTWell(const WindowContext &context, int tag = Tag);
    ~TfrmVTWell() override;

    PollCycle &pollCycle() { return *m_poll; }
    OnePageReport report() const;

public slots:
    void btnStartClick();
    void btnStopClick();
    void btnSaveUnitsClick();
    void btnLoadUnitsClick();
    void btnPrintClick();

protected:
    void FormActivate() override;
    void beforeFinish() override;

private:
    void loadWellContext();
    void selectTransmitterUnits();
    void poll();
    // A read of the poll; a start or stop asked for meanwhile goes out first.
    bool read(int firstRegister, int byteCount);
    void serviceRequest();
    void toggle();
    // Takes a fresh reading of the running coil; without an answer the last known
    // state stands and the status panel says so.
    void takeRunning(WellTesting::Running state);
    void showPurgeRows();
    void showDensityUnit();
    void showButtons();
    void showTestState();
    void requestCoil(int coil);

    WindowContext m_context;
    std::unique_ptr<Ui::TfrmVTWell> ui;
    PollCycle *m_poll;
    LiveRows *m_rows;
    bool m_running = false;
    bool m_wasRunning = false;
    bool m_runningUnknown = false;
    static constexpr int NoRequest = -1;
    int m_requestedCoil = NoRequest;  // start or stop coil asked for by a button
    bool m_testingDisabled = false;
};
