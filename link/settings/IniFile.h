#pragma once

#include <QString>
#include <QStringList>

// An INI file read and written the way the transmitter's PC programs have always
// kept their settings: the file is found in its directory without regard to case,
// sections and keys are looked up without regard to case and written exactly as
// named, values are trimmed and a default stands in for anything missing. Writing
// one key keeps every other line (comments included), uses CR LF line ends and
// replaces the file atomically, in the encoding it was read in. Text is
// Windows-1252; a file that is valid UTF-8 is read and written back as UTF-8. A
// file that exists but cannot be read is never written over.
class IniFile {
public:
    // fileName is looked up in dir without regard to case; when no such file
    // exists, it is created under fileName as given on the first write.
    IniFile(const QString &dir, const QString &fileName);

    QString path() const;
    QString dir() const { return m_dir; }
    bool exists() const;

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Only the sections present; used to tell a missing section from missing keys.
    bool hasSection(const QString &section) const;
    // On failure returns false with *error naming the file and the reason; a file
    // that exists but cannot be read is left as it is.
    bool writeString(const QString &section, const QString &key, const QString &value, QString *error);

    // Text codec of the files: Windows-1252, or UTF-8 when the bytes are valid UTF-8.
    static QString decode(const QByteArray &bytes);
    static QByteArray encode1252(const QString &text, bool *lossless = nullptr);

private:
    struct Contents {
        QStringList lines;
        bool legacy = false;    // read as Windows-1252 (non-ASCII bytes that are not UTF-8)
        QString readError;      // set when the file exists but cannot be read
    };
    Contents load() const;
    QStringList readLines() const { return load().lines; }

    QString m_dir;
    QString m_fileName;
};
