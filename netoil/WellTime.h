#pragma once

#include <QString>

#include <optional>

// Durations of a well test, held by the transmitter as seconds in doubles, shown
// as "HH:MM" or, while a test runs, "HH:MM:SS". Seconds from the wire may be anything: not finite or negative counts
// as 0 and more than the longest shown duration as that duration, so that the
// conversion to whole hours and minutes is always defined.
namespace WellTime {

constexpr double LongestSeconds = 99 * 3600 + 59 * 60;  // "99:59"

double bounded(double seconds);
// Whole hours of a duration (the test-time items go by them).
int wholeHours(double seconds);
QString toHHMM(double seconds);
// Bounded like toHHMM, up to "99:59:59".
QString toHHMMSS(double seconds);
// "HH:MM" (one or two digits each, minutes below 60) to seconds; empty when the
// text is not such a time.
std::optional<double> fromHHMM(const QString &text);

}  // namespace WellTime
