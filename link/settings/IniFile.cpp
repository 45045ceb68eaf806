#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; 0 marks the five unassigned
// bytes, which are kept as the control characters of the same value.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

QString decode1252(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && cp1252High[b - 0x80] != 0)
            text.append(QChar(cp1252High[b - 0x80]));
        else
            text.append(QChar(b));
    }
    return text;
}

QString sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    return close > 0 ? t.mid(1, close - 1).trimmed() : QString();
}

bool isSectionLine(const QString &line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}

// The key of a "key=value" line, or an empty string for comments and other lines.
QString keyOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')) || isSectionLine(t))
        return {};
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    return eq > 0 ? t.left(eq).trimmed() : QString();
}

QString valueOf(const QString &line)
{
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile::IniFile(const QString &dir, const QString &fileName) : m_dir(dir), m_fileName(fileName) {}

QString IniFile::path() const
{
    const QDir dir(m_dir);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (sameName(name, m_fileName))
            return dir.filePath(name);
    }
    return dir.filePath(m_fileName);
}

bool IniFile::exists() const
{
    return QFile::exists(path());
}

QString IniFile::decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError())
        return asUtf8;
    QStringDecoder cp1252("windows-1252");
    if (cp1252.isValid())
        return cp1252.decode(bytes);
    return decode1252(bytes);
}

QByteArray IniFile::encode1252(const QString &text, bool *lossless)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    bool exact = true;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u >= 0x80 && u < 0xA0 && cp1252High[u - 0x80] == 0)) {
            bytes.append(char(u));
            continue;
        }
        const auto *hit = std::find(std::begin(cp1252High), std::end(cp1252High), u);
        if (hit != std::end(cp1252High)) {
            bytes.append(char(0x80 + (hit - std::begin(cp1252High))));
        } else {
            bytes.append('?');
            exact = false;
        }
    }
    if (lossless)
        *lossless = exact;
    return bytes;
}

IniFile::Contents IniFile::load() const
{
    Contents contents;
    QFile file(path());
    if (!file.exists())
        return contents;
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        contents.readError = file.errorString();
        return contents;
    }
    QString text = decode(bytes);
    contents.legacy = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; })
                      && text.toUtf8() != bytes;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    contents.lines = lines;
    return contents;
}

bool IniFile::hasSection(const QString &section) const
{
    const QStringList lines = readLines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const QString &l) { return isSectionLine(l) && sameName(sectionName(l), section); });
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    bool inSection = false;
    for (const QString &line : readLines()) {
        if (isSectionLine(line)) {
            inSection = sameName(sectionName(line), section);
            continue;
        }
        if (inSection && sameName(keyOf(line), key))
            return valueOf(line);
    }
    return defaultValue;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value, QString *error)
{
    const Contents contents = load();
    if (!contents.readError.isEmpty()) {
        // Writing now would replace every other setting with nothing.
        if (error)
            *error = QStringLiteral("Cannot read %1: %2. The file was left as it is and the settings were not saved.")
                         .arg(QDir::toNativeSeparators(path()), contents.readError);
        return false;
    }
    QStringList lines = contents.lines;
    const QString entry = key + QLatin1Char('=') + value;

    qsizetype sectionAt = -1;
    qsizetype insertAt = -1; // after the last non-blank line of the section
    bool written = false;
    for (qsizetype i = 0; i < lines.size() && !written; ++i) {
        const QString &line = lines[i];
        if (isSectionLine(line)) {
            if (sectionAt >= 0)
                break;
            if (sameName(sectionName(line), section)) {
                sectionAt = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (sectionAt < 0)
            continue;
        if (sameName(keyOf(line), key)) {
            lines[i] = entry;
            written = true;
        } else if (!line.trimmed().isEmpty()) {
            insertAt = i + 1;
        }
    }
    if (!written) {
        if (sectionAt >= 0) {
            lines.insert(insertAt, entry);
        } else {
            if (!lines.isEmpty() && !lines.back().trimmed().isEmpty())
                lines.append(QString());
            lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
            lines.append(entry);
        }
    }

    const QString target = path();
    QSaveFile file(target);
    const QString text = lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
    // New and plain-ASCII files are written as UTF-8. A file written on Windows stays
    // Windows-1252, so that no other key's text changes, unless it must hold a
    // character Windows-1252 cannot; the reader accepts either.
    bool lossless = true;
    QByteArray bytes = contents.legacy ? encode1252(text, &lossless) : text.toUtf8();
    if (!lossless)
        bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(target), file.errorString());
        return false;
    }
    return true;
}
