#include "TraceLog.h"

TraceLog &TraceLog::instance()
{
    static TraceLog log;
    return log;
}

void TraceLog::add(const QString &text)
{
    if (m_lines.size() >= MaxLines)
        m_lines.remove(0, MaxLines / 10);
    m_lines.push_back({QDateTime::currentDateTime(), text});
    emit lineAdded(format(m_lines.back()));
}

QString TraceLog::format(const Line &line)
{
    return line.time.toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ") + line.text;
}
