#pragma once

#include <QString>

#include <optional>

class RegisterImage;

// Number formats: a table of 28 printf patterns, a format per quantity code, and
// the rate and total formats that follow the sensor size. Texts are exactly what
// C's printf gives for the pattern (including the current locale's decimal point).

constexpr int NumberFormatCount = 28;
constexpr int IntegerFormatIndex = 27;  // rounds to a whole number

// Text of a value by table entry. An index outside the table gives the general
// shortest form rather than reading outside the table.
QString FormatByIndex(int formatIndex, double value);
// Format index of a quantity code; rates and totals take the current size formats.
int FormatIndexFor(int code);
// Text of a value by its quantity code.
QString FormatValue(int code, double value);

// The size-dependent formats are the module's only state; both start at 0.
struct SizeFormats {
    int rate = 0;
    int total = 0;
};
SizeFormats CurrentSizeFormats();

// Sensor size from the transducer model text at register 635: characters 2 to 4
// "012", "025", "050", "100", "200", "300", "400" give 0..6 and any other text 0;
// a text shorter than 4 characters gives nothing.
std::optional<int> SensorSizeIndex(const RegisterImage &image);
// Sets the rate and total formats from the model text in the image. The link
// reports every read at register 635 so that they follow the connected sensor.
void SelectSizeFormats(const RegisterImage &image);

// Smallest span of a quantity for the sensor size in the image (0.0 when the
// model text is shorter than 4 characters or the code has no minimum).
double MinimumSpanFrom(const RegisterImage &image, int code);
