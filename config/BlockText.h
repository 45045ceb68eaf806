#pragma once

#include <QByteArray>
#include <QString>

// Zero-terminated Latin-1 texts inside a block's bytes. Reading stops at the first
// zero byte or at the end of the field, whichever comes first, so a text that
// fills its field is never read past it.
namespace BlockText {

inline QString read(const QByteArray &block, int offset, int fieldLen)
{
    if (offset < 0 || fieldLen <= 0 || offset >= block.size())
        return {};
    const QByteArray field = block.mid(offset, fieldLen);
    const qsizetype end = field.indexOf('\0');
    return QString::fromLatin1(end < 0 ? field : field.left(end));
}

// Writes at most maxChars characters and a terminating zero; the rest of the field
// is zero-filled. Characters outside Latin-1 become "?".
inline void write(QByteArray &block, int offset, int fieldLen, const QString &text, int maxChars)
{
    if (offset < 0 || fieldLen <= 0 || offset + fieldLen > block.size())
        return;
    const int chars = qMin(maxChars, fieldLen - 1);
    const QByteArray bytes = text.left(chars).toLatin1();
    for (int i = 0; i < fieldLen; ++i)
        block[offset + i] = i < bytes.size() ? bytes[i] : '\0';
}

}  // namespace BlockText
