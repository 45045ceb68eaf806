#pragma once

#include "GuardedWindow.h"

class ModbusLink;
class PollCycle;
class Session;
class QGroupBox;
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
        QGroupBox *group;
        QLabel *caption, *unit;
        QLineEdit *value, *current, *pcnt;
        Driven driven;
    };

    void buildLayout();
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
    bool m_initialising = false;
    int m_netOilCode = 7;
    AnalogGroup m_analog[3];
    Driven m_pulse;
    QGroupBox *grpPulse;
    QLabel *lblPulseParam, *lblPulseUnit, *lblPulseFreq, *lblFreqUnit, *lblPulsePcnt;
    QLineEdit *txtPulseValue, *txtPulseCurrent, *txtPulsePcnt;
};
