#pragma once

#include "GuardedWindow.h"

#include <memory>

namespace Ui {
class TfrmViewErrorLog;
}

class ModbusLink;
class Session;
class QTableWidget;

// "View Error Log": the transmitter's error log, newest entry first; Clear empties it.
class TfrmViewErrorLog : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 31;
    static constexpr int HelpContext = 32;
    static constexpr int EntryCount = 48;

    TfrmViewErrorLog(ModbusLink &link, Session &session, QWidget *parent = nullptr);
    ~TfrmViewErrorLog() override;

    QTableWidget *grid() const;

public slots:
    void btnClearClick();

protected:
    void FormActivate() override;

private:
    void showLog();

    ModbusLink &m_link;
    Session &m_session;
    std::unique_ptr<Ui::TfrmViewErrorLog> ui;
};
