#include "TrafficLog.h"

#include "Clock.h"
#include "CsvText.h"

TrafficLog::TrafficLog(ModbusLink &link, QObject *parent) : QObject(parent)
{
    connect(&link, &ModbusLink::traffic, this, &TrafficLog::record);
}

void TrafficLog::clear()
{
    const int count = int(m_rows.size());
    m_rows.clear();
    m_counters = {};
    emit rowsDropped(count);
}

void TrafficLog::record(const LinkTraffic &step)
{
    // Reply times on the program's clock, so they are measured as the link waits.
    const qint64 nowMs = Clock::instance().nowMs();
    Row row{.time = QDateTime::currentDateTime(), .step = step, .replyMs = std::nullopt};
    switch (step.kind) {
    case LinkTraffic::Sent:
        ++m_counters.requests;
        m_sentAtMs = nowMs;
        break;
    case LinkTraffic::Stray:
        ++m_counters.errors;
        break;
    case LinkTraffic::Broadcast:
        m_sentAtMs.reset();
        break;
    default:
        if (step.kind == LinkTraffic::Reply)
            ++m_counters.replies;
        else
            ++m_counters.errors;
        if (m_sentAtMs) {
            row.replyMs = nowMs - *m_sentAtMs;
            m_sentAtMs.reset();
            if (step.kind != LinkTraffic::NoReply) {
                m_counters.totalReplyMs += *row.replyMs;
                m_counters.longestReplyMs = std::max(m_counters.longestReplyMs, *row.replyMs);
                ++m_counters.timedReplies;
            }
        }
        break;
    }
    m_rows.append(row);
    if (m_rows.size() > MaxRows) {
        // A tenth at a time, so a view does not redraw on every frame once full.
        const int drop = MaxRows / 10;
        m_rows.remove(0, drop);
        emit rowsDropped(drop);
    }
    emit rowAdded(m_rows.constLast());
}

bool TrafficLog::passes(const Row &row, Filter filter)
{
    const LinkTraffic::Kind k = row.step.kind;
    switch (filter) {
    case Filter::All: return true;
    case Filter::Requests: return k == LinkTraffic::Sent || k == LinkTraffic::Broadcast;
    case Filter::Replies: return k == LinkTraffic::Reply;
    case Filter::Exceptions: return k == LinkTraffic::Exception;
    case Filter::NoReply: return k == LinkTraffic::NoReply;
    case Filter::ChecksumErrors: return k == LinkTraffic::ChecksumError;
    case Filter::StrayInput: return k == LinkTraffic::Stray;
    case Filter::AllErrors:
        return k == LinkTraffic::Exception || k == LinkTraffic::NoReply || k == LinkTraffic::ChecksumError
               || k == LinkTraffic::Stray;
    }
    return true;
}

QString TrafficLog::direction(const LinkTraffic &step)
{
    switch (step.kind) {
    case LinkTraffic::Sent: return QStringLiteral("TX");
    case LinkTraffic::NoReply:
    case LinkTraffic::Broadcast: return QStringLiteral("--");
    default: return QStringLiteral("RX");
    }
}

QString TrafficLog::outcome(const LinkTraffic &step)
{
    switch (step.kind) {
    case LinkTraffic::Sent: return QStringLiteral("sent");
    case LinkTraffic::Reply: return QStringLiteral("reply");
    case LinkTraffic::Exception:
        return QStringLiteral("exception %1 (%2)").arg(step.exception).arg(ModbusLink::Exception_Text(step.exception));
    case LinkTraffic::ChecksumError: return QStringLiteral("checksum error");
    case LinkTraffic::NoReply: return QStringLiteral("no reply");
    case LinkTraffic::Broadcast: return QStringLiteral("broadcast, no reply expected");
    case LinkTraffic::Stray: return QStringLiteral("stray input");
    }
    return {};
}

QString TrafficLog::hex(const LinkTraffic &step)
{
    return QString::fromLatin1(step.bytes.toHex(' ').toUpper());
}

QString TrafficLog::summary() const
{
    const Counters &c = m_counters;
    return QStringLiteral("Requests: %1   Replies: %2   Errors: %3   Reply time: mean %4 ms, longest %5 ms")
        .arg(c.requests)
        .arg(c.replies)
        .arg(c.errors)
        .arg(c.meanReplyMs(), 0, 'f', 1)
        .arg(c.longestReplyMs);
}

QString TrafficLog::csv(Filter filter) const
{
    QString out = CsvText::line({QStringLiteral("time"), QStringLiteral("direction"), QStringLiteral("unit"),
                                 QStringLiteral("function"), QStringLiteral("address"), QStringLiteral("count"),
                                 QStringLiteral("outcome"), CsvText::header(QStringLiteral("reply time"), QStringLiteral("ms")),
                                 QStringLiteral("bytes")});
    for (const Row &r : m_rows) {
        if (!passes(r, filter))
            continue;
        const LinkTraffic &s = r.step;
        const bool stray = s.kind == LinkTraffic::Stray;
        out += CsvText::line({CsvText::isoTime(r.time), direction(s), stray ? QString() : QString::number(s.unit),
                              stray ? QString() : QString::number(s.function),
                              stray ? QString() : QString::number(s.address),
                              stray ? QString() : QString::number(s.count), outcome(s),
                              r.replyMs ? QString::number(*r.replyMs) : QString(), hex(s)});
    }
    return out;
}

QString TrafficLog::line(const LinkTraffic &step, const QString &time)
{
    QString text = time + QLatin1Char(' ') + direction(step);
    if (step.kind != LinkTraffic::Stray)
        text += QStringLiteral(" unit %1 fn %2 addr %3 count %4").arg(step.unit).arg(step.function).arg(step.address).arg(step.count);
    text += QLatin1Char(' ') + outcome(step);
    if (!step.bytes.isEmpty())
        text += QStringLiteral(": ") + hex(step);
    return text;
}

QString TrafficLog::text(Filter filter) const
{
    QString out;
    for (const Row &r : m_rows) {
        if (!passes(r, filter))
            continue;
        out += line(r.step, CsvText::isoTime(r.time));
        if (r.replyMs)
            out += QStringLiteral(" (reply after %1 ms)").arg(*r.replyMs);
        out += QLatin1Char('\n');
    }
    return out + summary() + QLatin1Char('\n');
}
