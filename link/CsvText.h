#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The one CSV dialect of the program's logs and exports (the trend's data, `watch`,
// `scan`, the comparison): UTF-8, LF line ends, cells quoted only where needed, time
// stamps in ISO 8601 with milliseconds and the offset from UTC, and a column's unit in
// brackets after its name.
namespace CsvText {

QString cell(const QString &text);
// The cells as one line, with its LF.
QString line(const QStringList &cells);
// "Mass Rate [lb/min]"; the name alone without a unit.
QString header(const QString &name, const QString &unit);
// "2026-12-07T05:20:16.123+01:00" (UTC is "+00:00").
QString isoTime(const QDateTime &time);
QString isoTimeNow();

}  // namespace CsvText
