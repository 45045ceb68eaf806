#pragma once

#include "ModbusLink.h"

#include <QTextStream>

// Writes every frame on the link as one line: the time, TX or RX, the request's
// unit, function, address and count, the outcome, and the characters in hex:
//
//   2026-12-07T05:20:16.123+01:00 TX unit 247 fn 3 addr 578 count 10 sent: 3A 46 37 ...
//   2026-12-07T05:20:16.150+01:00 RX unit 247 fn 3 addr 578 count 10 reply: 3A 46 37 ...
//
// Outcomes: reply, exception N, no reply, checksum error, stray input, broadcast.
class TrafficTrace : public QObject {
    Q_OBJECT
public:
    TrafficTrace(ModbusLink &link, QTextStream &out, QObject *parent = nullptr);

    static QString line(const LinkTraffic &step, const QString &time);

private:
    QTextStream &m_out;
};
