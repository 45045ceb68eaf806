#pragma once

#include "TrafficLog.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// "Modbus Traffic": every frame on the link as a row (time, direction, unit, function,
// address and count, outcome, reply time, bytes), filtered by outcome, with the
// counters under it. Pause holds the rows on screen while the log goes on; Save writes
// the rows the filter shows as CSV or text. It only watches: it sends nothing.
class TfrmTraffic : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTraffic(ModbusLink &link, QWidget *parent = nullptr);

    TrafficLog &log() { return *m_log; }
    TrafficLog::Filter filter() const;
    bool save(const QString &fileName, QString *error) const;

public slots:
    void btnSaveClick();

private:
    void addRow(const TrafficLog::Row &row);
    void rebuild();
    void showCounters();

    TrafficLog *m_log;
    QTableWidget *m_table;
    QComboBox *m_filter;
    QPushButton *m_pause;
    QLabel *m_counters;
};
