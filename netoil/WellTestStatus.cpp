#include "WellTestStatus.h"

#include <cmath>

namespace {
bool left(double v)
{
    return std::isfinite(v) && v != 0.0;
}
}  // namespace

QString wellTestStatus(const WellTestProgress &progress, bool running)
{
    const bool purging = left(progress.purgeSecLeft) || progress.dumpsLeft != 0;
    if (running && purging)
        return QStringLiteral("Purging");
    if (running && left(progress.timeRemained))
        return QStringLiteral("In Progress");
    return QStringLiteral("Stopped");
}
