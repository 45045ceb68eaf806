#pragma once

#include <QString>

// The wall-clock time now as ISO 8601 with milliseconds and the offset from UTC
// ("2026-12-07T05:20:16.123+01:00"; UTC is "+00:00"), as logs and traces print it.
QString isoTimeNow();
