#include "TrafficTrace.h"

#include "CsvText.h"

TrafficTrace::TrafficTrace(ModbusLink &link, QTextStream &out, QObject *parent) : QObject(parent), m_out(out)
{
    connect(&link, &ModbusLink::traffic, this, [this](const LinkTraffic &step) {
        m_out << line(step, CsvText::isoTimeNow()) << '\n' << Qt::flush;
    });
}

QString TrafficTrace::line(const LinkTraffic &step, const QString &time)
{
    const QString hex = QString::fromLatin1(step.bytes.toHex(' ').toUpper());
    if (step.kind == LinkTraffic::Stray)
        return QStringLiteral("%1 RX stray input: %2").arg(time, hex);
    const QString request = QStringLiteral("unit %1 fn %2 addr %3 count %4")
                                .arg(step.unit)
                                .arg(step.function)
                                .arg(step.address)
                                .arg(step.count);
    QString direction = QStringLiteral("RX");
    QString outcome;
    switch (step.kind) {
    case LinkTraffic::Sent:
        direction = QStringLiteral("TX");
        outcome = QStringLiteral("sent");
        break;
    case LinkTraffic::Reply: outcome = QStringLiteral("reply"); break;
    case LinkTraffic::Exception:
        outcome = QStringLiteral("exception %1 (%2)").arg(step.exception).arg(ModbusLink::Exception_Text(step.exception));
        break;
    case LinkTraffic::ChecksumError: outcome = QStringLiteral("checksum error"); break;
    case LinkTraffic::NoReply:
        direction = QStringLiteral("--");
        outcome = QStringLiteral("no reply");
        break;
    case LinkTraffic::Broadcast:
        direction = QStringLiteral("--");
        outcome = QStringLiteral("broadcast, no reply expected");
        break;
    case LinkTraffic::Stray: break;
    }
    QString text = QStringLiteral("%1 %2 %3 %4").arg(time, direction, request, outcome);
    if (!step.bytes.isEmpty())
        text += QStringLiteral(": ") + hex;
    return text;
}
