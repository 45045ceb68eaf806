#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The console's dump of raw bytes: 16 bytes a line, each as two upper-case hex
// digits and a space (the last space dropped), missing bytes of the last line as
// three spaces, then ": " and one character per byte (printable or ".").
namespace HexDump {

constexpr int BytesPerLine = 16;
// The most bytes a dump edit is taken back from (two request buffers' worth).
constexpr int MaxCollectedBytes = 512;

QStringList lines(const QByteArray &bytes);

// The offset column beside a dump of lineCount lines: each line's first byte from
// the start of the dump, four upper-case hex digits.
QStringList offsets(int lineCount);

// The bytes an edited dump holds: in each line, the pairs at columns 0, 3, ..., 45
// that are two hex digits, in order; at most MaxCollectedBytes.
QByteArray collect(const QStringList &lines);

}  // namespace HexDump
