#include "ConfigurationFiles.h"

#include "Catalogue.h"
#include "RegisterImage.h"
#include "ValueCodec.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>

namespace ConfigurationFiles {

namespace {

const QLatin1String Separator(", ");

QList<FieldRef> configurationFields()
{
    QList<FieldRef> fields;
    for (int block : Catalogue::configurationBlocks())
        fields += Catalogue::fields(block);
    return fields;
}

bool writeWhole(const QString &fileName, const QByteArray &bytes, QString *error)
{
    // Written beside the old file and renamed over it, so a failed save never
    // leaves a half-written configuration behind.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

// Reads at most maxBytes + 1 bytes.
bool readWhole(const QString &fileName, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    // One byte more than allowed tells the caller "too long" without reading it all.
    *bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

}  // namespace

QStringList textLines(const RegisterImage &image)
{
    QStringList lines;
    for (int block : Catalogue::configurationBlocks())
        lines += Catalogue::walkBlock(image, block, QLatin1Char('.'));
    return lines;
}

TextLine splitLine(const QString &line)
{
    const qsizetype at = line.indexOf(Separator);
    if (at < 0)
        return {line, QString()};
    return {line.left(at), line.mid(at + Separator.size())};
}

bool writeText(const QString &fileName, const RegisterImage &image, QString *error)
{
    const QStringList lines = textLines(image);
    // A text field holding a line break would split its line and make the file
    // unreadable; better no file than one that cannot be loaded again.
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(QLatin1Char('\r')) || lines[i].contains(QLatin1Char('\n'))) {
            *error = QStringLiteral("%1 was not written: the value of %2 holds a line break.")
                         .arg(fileName, splitLine(lines[i]).key);
            return false;
        }
    }
    QString text = lines.join(QLatin1String("\r\n"));
    text += QLatin1String("\r\n");
    return writeWhole(fileName, text.toLatin1(), error);
}

bool readText(const QString &fileName, QList<TextLine> *lines, QString *error)
{
    // A real file is about 30 kB; anything far larger is not one.
    constexpr qint64 MaxTextBytes = 1 << 20;
    QByteArray bytes;
    if (!readWhole(fileName, MaxTextBytes, &bytes, error))
        return false;
    if (bytes.size() > MaxTextBytes) {
        *error = QStringLiteral("%1 is not a configuration text file: it is larger than 1 MB.").arg(fileName);
        return false;
    }
    QStringList raw = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
    for (QString &line : raw)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    // Blank lines after the last field (an editor's extra line end) are no
    // content; the last line may also lack its line end.
    while (!raw.isEmpty() && raw.last().trimmed().isEmpty())
        raw.removeLast();

    const QList<FieldRef> fields = configurationFields();
    const qsizetype checked = std::min(raw.size(), fields.size());
    QList<TextLine> result;
    result.reserve(checked);
    for (qsizetype i = 0; i < checked; ++i) {
        const QString where = QStringLiteral("Line %1 of %2").arg(i + 1).arg(fileName);
        if (raw[i].isEmpty()) {
            *error = QStringLiteral("%1 is empty; it should hold %2.").arg(where, fields[i].key);
            return false;
        }
        const TextLine line = splitLine(raw[i]);
        if (line.key != fields[i].key) {
            *error = QStringLiteral("%1 holds \"%2\"; the line there should begin with \"%3, \".")
                         .arg(where, raw[i].left(60), fields[i].key);
            return false;
        }
        result.append(line);
    }
    if (raw.size() < fields.size()) {
        *error = QStringLiteral("%1 ends after line %2; line %3 (%4) and the lines after it are missing. "
                                "A configuration text file has %5 lines.")
                     .arg(fileName).arg(raw.size()).arg(raw.size() + 1).arg(fields[raw.size()].key)
                     .arg(fields.size());
        return false;
    }
    if (raw.size() > fields.size()) {
        *error = QStringLiteral("%1 has %2 lines; line %3 and the lines after it are extra. "
                                "A configuration text file has %4 lines.")
                     .arg(fileName).arg(raw.size()).arg(fields.size() + 1).arg(fields.size());
        return false;
    }
    *lines = result;
    return true;
}

bool applyValues(const QStringList &values, RegisterImage &image, int *badRow, QString *error)
{
    const QList<FieldRef> fields = configurationFields();
    *badRow = -1;
    if (values.size() != fields.size()) {
        *error = QStringLiteral("%1 values given; a configuration has %2.").arg(values.size()).arg(fields.size());
        return false;
    }
    RegisterImage working = image;
    for (qsizetype row = 0; row < fields.size(); ++row) {
        const FieldRef &field = fields[row];
        const QString &text = values[row];
        QString why;
        if (!ValueCodec::parseInto(working, field.byteOffset, field.byteCount, field.type, text, &why)) {
            *badRow = int(row);
            *error = QStringLiteral("Row %1 (%2): %3").arg(row + 1).arg(field.key, why);
            return false;
        }
    }
    image = working;
    return true;
}

bool writeBinary(const QString &fileName, const RegisterImage &image, QString *error)
{
    return writeWhole(fileName, image.bytes(), error);
}

bool readBinary(const QString &fileName, RegisterImage &image, QString *error)
{
    QByteArray bytes;
    if (!readWhole(fileName, RegisterImage::ByteSize, &bytes, error))
        return false;
    if (bytes.size() != RegisterImage::ByteSize) {
        *error = QStringLiteral("%1 is not a configuration binary file: it must hold exactly %2 bytes, "
                                "it holds %3. The configuration was not changed.")
                     .arg(fileName)
                     .arg(QLocale(QLocale::English).toString(RegisterImage::ByteSize))
                     .arg(bytes.size() > RegisterImage::ByteSize ? QStringLiteral("more")
                                                                   : QString::number(bytes.size()));
        return false;
    }
    return image.setBytes(bytes);
}

}  // namespace ConfigurationFiles
