#include "Faults.h"

namespace sim {

bool Faults::setException(const QString &text)
{
    const QStringList codeAndRange = text.split(':');
    if (codeAndRange.size() != 2)
        return false;
    const QStringList range = codeAndRange[1].split('-');
    bool ok[3] = {false, false, true};
    const int code = codeAndRange[0].toInt(&ok[0]);
    const int first = range[0].toInt(&ok[1]);
    const int last = range.size() == 2 ? range[1].toInt(&ok[2]) : first;
    if (!ok[0] || !ok[1] || !ok[2] || range.size() > 2 || code < 1 || code > 255 || first < 0 || last < first)
        return false;
    exceptionCode = code;
    exceptionFirst = first;
    exceptionLast = last;
    return true;
}

bool Faults::setSplit(const QString &text)
{
    const QStringList parts = text.split(':');
    bool ok1 = false, ok2 = true;
    const int n = parts[0].toInt(&ok1);
    const int gap = parts.size() == 2 ? parts[1].toInt(&ok2) : 0;
    if (!ok1 || !ok2 || parts.size() > 2 || n < 1 || n > 64 || gap < 0 || gap > 60000)
        return false;
    segments = n;
    segmentGapMs = gap;
    return true;
}

} // namespace sim
