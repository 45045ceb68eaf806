#pragma once

#include <QString>

// The line settings text "baud,parity letter,data bits,stop bits", e.g. "9600,N,8,1".
struct LineSettings {
    int baud = 9600;
    char parity = 'N'; // N, O, E, M (mark) or S (space)
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2

    // Parses the text; on failure returns false and says which part is wrong.
    static bool parse(const QString &text, LineSettings *out, QString *error);
    QString text() const;
    // Bits on the wire per character: start, data, parity, stop.
    int bitsPerChar() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
};
