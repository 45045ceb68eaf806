#pragma once

#include <QString>

namespace sim {

// Serial line parameters as the transmitter keeps them, and the time one
// character takes on the wire.
struct LineSettings {
    int baud = 9600;
    char parity = 'N'; // 'N', 'O' or 'E'
    int dataBits = 8;
    int stopBits = 1;

    // "9600,N,8,1"
    QString text() const;
    // Parses "baud,parity,data,stop"; false (and *out untouched) when malformed.
    static bool parse(const QString &text, LineSettings *out);

    int bitsPerChar() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
    double charMs() const { return bitsPerChar() * 1000.0 / baud; }
    bool operator==(const LineSettings &) const = default;
};

// Everything that decides whether a master can talk to the transmitter.
struct CommConfig {
    int unitId = 247;
    int framing = 0; // 0 ASCII, 1 RTU
    LineSettings line;
    bool operator==(const CommConfig &) const = default;
};

// The transmitter's own serial record (registers 2406..2409) stores list
// positions; these are the lists.
namespace serial_lists {
inline constexpr int Bauds[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
inline constexpr char Parities[] = {'N', 'O', 'E'};
inline constexpr int DataBits[] = {7, 8, 9};
inline constexpr int StopBits[] = {1, 2};
} // namespace serial_lists

} // namespace sim
