#include "TrafficTrace.h"

#include "CsvText.h"
#include "TrafficLog.h"

TrafficTrace::TrafficTrace(ModbusLink &link, QTextStream &out, QObject *parent) : QObject(parent), m_out(out)
{
    connect(&link, &ModbusLink::traffic, this, [this](const LinkTraffic &step) {
        m_out << line(step, CsvText::isoTimeNow()) << '\n' << Qt::flush;
    });
}

QString TrafficTrace::line(const LinkTraffic &step, const QString &time)
{
    return TrafficLog::line(step, time);
}
