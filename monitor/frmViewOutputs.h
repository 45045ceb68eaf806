#pragma once

#include "GuardedWindow.h"

#include <memory>

namespace Ui {
class TfrmViewOutputs;
}

class ModbusLink;
class PollCycle;
class Session;
class QLabel;
class QLineEdit;

// "View Outputs": what the three analog outputs and the pulse output are driving,
// polled once a second.
class TfrmViewOutputs : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 21;
    static constexpr int HelpContext = 21;

    TfrmViewOutputs(ModbusLink &link, Session &session, QWidget *parent = nullptr);
    ~TfrmViewOutputs() override;

    PollCycle &pollCycle() { return *m_poll; }

protected:
    void FormActivate() override;

private:
    // What an output drives, settled while the window initialises.
    struct Driven {
        int param = -1;     // quantity code in the output's block
        int code = 0;       // code the value converts and formats with
        int unitIndex = 0;  // transmitter unit index (a rate index for totals)
        QString caption;
        QString unit;
    };
    struct AnalogGroup {
        int block;
        QLabel *caption, *unit;
        QLineEdit *value, *current, *pcnt;
        Driven driven;
    };

    void poll();
    Driven describe(int param);
    void showAnalog(AnalogGroup &g);
    void showPulse();
    void showPulseRate();
    void showPulseTotal();
    void showPulseKeyboard();

    ModbusLink &m_link;
    Session &m_session;
    PollCycle *m_poll;
    std::unique_ptr<Ui::TfrmViewOutputs> ui;
    bool m_initialising = false;
    int m_netOilCode = 7;
    AnalogGroup m_analog[3];
    Driven m_pulse;
};
