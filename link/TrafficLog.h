#pragma once

#include "ModbusLink.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <optional>

// What the link said it sent and received, one row a frame, for the traffic window:
// each outcome is matched with its request, so a row knows how long the reply took.
// Keeps the newest MaxRows rows; the counters cover everything since the start.
class TrafficLog : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxRows = 20'000;

    struct Row {
        QDateTime time;
        LinkTraffic step;
        std::optional<qint64> replyMs;  // outcomes of a request: time since it was sent
    };
    struct Counters {
        int requests = 0;
        int replies = 0;
        int errors = 0;  // exceptions, checksum errors, no reply, stray input
        qint64 totalReplyMs = 0;
        qint64 longestReplyMs = 0;
        int timedReplies = 0;
        double meanReplyMs() const { return timedReplies ? double(totalReplyMs) / timedReplies : 0.0; }
    };
    // Which rows a view shows.
    enum class Filter { All, Requests, Replies, Exceptions, NoReply, ChecksumErrors, StrayInput, AllErrors };

    explicit TrafficLog(ModbusLink &link, QObject *parent = nullptr);

    const QList<Row> &rows() const { return m_rows; }
    const Counters &counters() const { return m_counters; }
    void clear();

    static bool passes(const Row &row, Filter filter);
    // "TX", "RX" or "--" (nothing crossed the line).
    static QString direction(const LinkTraffic &step);
    // "sent", "reply", "exception 2 (Illegal Data Address)", "no reply", ...
    static QString outcome(const LinkTraffic &step);
    static QString hex(const LinkTraffic &step);
    // One frame as a line of text: "<time> TX unit 247 fn 3 addr 578 count 10 sent: 3A 46 ..."
    static QString line(const LinkTraffic &step, const QString &time);
    // The counter line: requests, replies, errors, mean and longest reply time.
    QString summary() const;
    // The rows a filter passes, as CSV (with a header) or as text lines.
    QString csv(Filter filter) const;
    QString text(Filter filter) const;

signals:
    void rowAdded(const TrafficLog::Row &row);
    // Old rows were dropped to keep MaxRows.
    void rowsDropped(int count);

private:
    void record(const LinkTraffic &step);

    QList<Row> m_rows;
    Counters m_counters;
    std::optional<qint64> m_sentAtMs;
};
