#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

// Free-text trace lines of the link and the procedures, collected from program
// start so that the diagnostics window can show them whenever it is opened.
// Lines carry a time stamp with milliseconds. The log keeps the newest lines up
// to a generous limit so that a long session cannot exhaust memory.
class TraceLog : public QObject {
    Q_OBJECT
public:
    struct Line {
        QDateTime time;
        QString text;
    };
    static constexpr int MaxLines = 100000;

    static TraceLog &instance();

    void add(const QString &text);
    const QVector<Line> &lines() const { return m_lines; }
    // "hh:mm:ss.zzz  text"
    static QString format(const Line &line);

signals:
    void lineAdded(const QString &formatted);

private:
    QVector<Line> m_lines;
};

inline void trace(const QString &text)
{
    TraceLog::instance().add(text);
}
