#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class RegisterImage;

// The two files a configuration is kept in on the PC.
//
// Text (*.cfg): one "Key, value" line per plain field of the configuration blocks
// (blocks 27..127 without SysMgr) in walk order, 780 lines, CR LF, Latin-1, '.' as
// decimal separator ('.' or ',' accepted on reading). A line's position, not its
// key, says which field it holds; keys are still checked so that a file from
// elsewhere cannot put values into the wrong fields.
//
// Binary (*.bin): the whole 6,804-byte register image, nothing else.
//
// Every failure leaves the image untouched and gives a message that names the
// file and the reason.
namespace ConfigurationFiles {

constexpr int TextLineCount = 780;

// One line of a configuration text file split into its two columns.
struct TextLine {
    QString key;
    QString value;
};

// The lines of the text file for the image, in file order.
QStringList textLines(const RegisterImage &image);
// Splits at the first ", ": the key before it, the value after it.
TextLine splitLine(const QString &line);

bool writeText(const QString &fileName, const RegisterImage &image, QString *error);
// Reads and checks a text file: exactly TextLineCount lines, each "Key, value"
// with the key the walk expects at that place. Lines may end in CR LF or LF;
// blank lines after the last field are ignored.
bool readText(const QString &fileName, QList<TextLine> *lines, QString *error);

// Parses values (one per field, file order) into image. Stops at the first value
// that does not parse: *badRow is then its 0-based index, *error the message
// naming the row, and image is unchanged.
bool applyValues(const QStringList &values, RegisterImage &image, int *badRow, QString *error);

bool writeBinary(const QString &fileName, const RegisterImage &image, QString *error);
// Loads exactly RegisterImage::ByteSize bytes into image; anything else is refused.
bool readBinary(const QString &fileName, RegisterImage &image, QString *error);

}  // namespace ConfigurationFiles
