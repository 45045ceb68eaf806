#pragma once

#include <QColor>
#include <QPixmap>

// The round indicator glyphs of the console: "LedRedOn"/"LedRedOff" on the coil
// buttons, "CommLedGreen"/"CommLedGray" in the coil status panel.
namespace LedPixmap {
QPixmap make(const QColor &fill, int diameter = 14);
inline QPixmap redOn() { return make(QColor(230, 20, 20)); }
inline QPixmap redOff() { return make(QColor(90, 20, 20)); }
inline QPixmap green() { return make(QColor(30, 200, 40)); }
inline QPixmap gray() { return make(QColor(150, 150, 150)); }
}  // namespace LedPixmap
