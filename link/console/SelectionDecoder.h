#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// What the console shows for a selected run of dump text: the bytes as hex, their
// CRC and LRC, and, where few enough bytes are selected, the bytes read as typed
// values in both byte orders ("Moto." most significant first, "Intel" least).
struct DecodedSelection {
    QString hex, crc, lrc;
    QString byteMoto, byteIntel;
    QString wordMoto, wordIntel;
    QString integerMoto, integerIntel;
    QString longMoto, longIntel;
    QString doubleMoto, doubleIntel;
};

namespace SelectionDecoder {

constexpr int MaxBytes = 128;

// The bytes of a selection: spaces removed, two characters a byte, a last single
// character a byte of its own; at most MaxBytes. Empty result with *error set when
// a pair is not hexadecimal.
std::optional<QByteArray> parseBytes(const QString &selection, QString *error);

// Every label's text for a selection; nullopt with *error set when it is not hex.
// An empty selection (after removing spaces) gives all texts empty.
std::optional<DecodedSelection> decode(const QString &selection, QString *error);

}  // namespace SelectionDecoder
