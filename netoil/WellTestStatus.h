#pragma once

#include <QString>

// How far a well test has got, as the transmitter reports it.
struct WellTestProgress {
    double purgeSecLeft = 0.0;  // purge by time: seconds left
    int dumpsLeft = 0;          // purge by dumps: dumps left
    double timeRemained = 0.0;  // measurement: seconds left, or elapsed for a manual test
};

// "Stopped", "Purging" or "In Progress": purging while purge time or dumps are
// left, in progress while only test time is left; nothing left, or the test not
// running, is stopped. Values that are not numbers count as nothing left.
QString wellTestStatus(const WellTestProgress &progress, bool running);
