#pragma once

#include "GuardedWindow.h"

#include <memory>

namespace Ui {
class TfrmViewAlarmLog;
}

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
    ~TfrmViewAlarmLog() override;

    QTableWidget *grid() const;

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
    std::unique_ptr<Ui::TfrmViewAlarmLog> ui;
    QTableWidget *grdAlarmLog;
};
