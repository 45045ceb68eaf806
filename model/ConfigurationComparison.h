#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class ModbusLink;
class PrintObject;
class QDate;
class RegisterImage;

// Compares two whole configurations field by field, as the configuration text file
// shows them: the same fields, keys and value texts, so a difference reads exactly
// as the two files would.
namespace ConfigurationComparison {

struct Difference {
    // The catalogue key; where a layout repeats a name, the repeats are told apart
    // by their number in brackets ("CfgTotal.Name[2]").
    QString key;
    QString valueA;
    QString valueB;
    // Where the field sits: its block and its bytes in the register image.
    int block = -1;
    int byteOffset = 0;
    int byteCount = 0;

    bool operator==(const Difference &) const = default;
};

// Some fields of the configuration blocks are readings the transmitter keeps up to
// date while it runs (output currents, percent of range, net-oil totals and rates);
// they differ between any two reads of a working unit and say nothing about its set-up.
bool isReading(const QString &key);

enum class Readings { Skip, Include };

// The unit ID, Modbus mode and line settings: writing one of them alone would leave
// the PC talking to a transmitter that no longer answers it, so they are changed in
// the communication settings, never field by field.
bool isCommunicationSetting(const Difference &difference);

// Every configuration field whose value text differs, in file order. With
// readingsSkipped, the readings that differ are counted there instead.
QList<Difference> differences(const RegisterImage &a, const RegisterImage &b, Readings readings = Readings::Skip,
                              int *readingsSkipped = nullptr);

// Reads a configuration file, ".cfg" (text) or ".bin" (binary) by its name. Fields a
// text file does not hold keep the built-in defaults. On failure *error names the
// file and the reason, and image is unchanged.
bool loadFile(const QString &fileName, RegisterImage &image, QString *error);

// Reads the whole configuration of the connected transmitter through the link. The
// link's image then holds what was read; when the read fails it gets back what it
// held before, *error says why and image is unchanged.
// progress gets the status text, the step and the number of steps of the read;
// the session's abort flag (Escape, Cancel) stops it between two blocks, and then
// *cancelled is set.
using Progress = std::function<void(const QString &text, int step, int steps)>;
bool loadUnit(ModbusLink &link, RegisterImage &image, QString *error, const Progress &progress = {},
              bool *cancelled = nullptr);

// The differences as CSV: a header line with the column titles, then one line per
// field; UTF-8, LF, cells with commas, quotes or line breaks quoted.
QByteArray csv(const QList<Difference> &differences, const QStringList &columnTitles);

// The differences as a printable report: a heading naming both sides and the date,
// then one line per field with its value on each side.
void buildReport(PrintObject &print, const QList<Difference> &differences, const QString &nameA,
                 const QString &nameB, const QDate &today);

}  // namespace ConfigurationComparison
