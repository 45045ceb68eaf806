#pragma once

#include <QList>
#include <QString>

#include <array>

// The sensor's 8-character model number: transducer size (characters 1 to 4),
// wetted material (5), connection size (6), connection rating (7) and electrical
// class (8), each a code from its own list, and the rules for which connection
// sizes fit which sensor size and rating.
namespace SensorModelNumber {

enum Part { Size, Material, ConnectionSize, Rating, ElectricalClass, PartCount };

struct Code {
    QString code;
    QString text;
};
const QList<Code> &list(Part part);

// A list position per part; -1 selects nothing.
using Positions = std::array<int, PartCount>;

const QString DefaultModel = QStringLiteral("m0258010");
const QString InvalidTitle = QStringLiteral("Invalid Transducer Model Number");
const QString LengthText = QStringLiteral("Model Number must be 8 characters.");
const QString MismatchTitle = QStringLiteral("  Mismatch Error");
const QString MismatchText = QStringLiteral(
    "Note: Check your setting for Transducer Size,      \r         Connection Rating and Connection Size...  ");
const QString RefusedText = QStringLiteral("Note: This Transducer can't accept specified Connection Rating\r ");
// The message for a part whose code is in no list item.
QString unknownPartText(Part part);

// The items a stored model number selects. A text that is not 8 characters long
// selects nothing. The connection size of tri-clamp fittings is stored as the
// smallest size and shown as the size that fits the sensor.
Positions decode(const QString &model);
// What leaving the model-number field, and Apply, say about the text; empty when valid.
QString checkTyped(const QString &model);

// The model number built from the lists after one of them changed.
struct Rebuilt {
    enum Note { None, Mismatch, Refused };
    Note note = None;
    QString model;             // empty when Refused
    int connectionSize = -1;   // the connection size to select
};
Rebuilt rebuild(const Positions &selected);

}  // namespace SensorModelNumber
