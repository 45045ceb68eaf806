#pragma once

#include "GuardedWindow.h"

class ModbusLink;
class Session;
class QTableWidget;

// "View Alarm Status": the transmitter's alarm counters with the current and peak
// value of each alarmed quantity. Closing tells the transmitter which alarms the
// user has seen (AlarmLog2 and coil 62).
class TfrmViewAlarmLog : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 30;
    static constexpr int HelpContext = 31;
    static constexpr int AlarmCount = 21;

    TfrmViewAlarmLog(ModbusLink &link, Session &session, QWidget *parent = nullptr);

    QTableWidget *grid() const { return grdAlarmLog; }

protected:
    void FormActivate() override;
    void beforeFinish() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showAlarm(int row, int netOilCode);
    void writeSeenFlags();
    void fitColumns();

    ModbusLink &m_link;
    Session &m_session;
    QTableWidget *grdAlarmLog;
};
