#include "FieldChanges.h"

#include "Catalogue.h"
#include "ValueCodec.h"

#include <QStringList>

namespace {

// One field inside a range: its key, byte offset from the range's start, size and type.
struct RangeField {
    QString key;
    int offset;
    int bytes;
    int type;  // -1: raw register
};

QList<RangeField> fieldsOfRange(int firstRegister, int byteCount)
{
    const int begin = 2 * firstRegister;
    const int end = begin + byteCount;
    QList<RangeField> list;
    QList<bool> covered(byteCount, false);
    for (const BlockDef &block : Catalogue::blocks()) {
        if (block.byteOffset() >= end || block.byteOffset() + block.bytes <= begin)
            continue;
        for (const FieldRef &f : Catalogue::fields(block.index)) {
            if (f.byteOffset < begin || f.byteOffset + f.byteCount > end)
                continue;
            list << RangeField{f.key, f.byteOffset - begin, f.byteCount, f.type};
            for (int i = 0; i < f.byteCount; ++i)
                covered[f.byteOffset - begin + i] = true;
        }
    }
    for (int r = 0; r < byteCount / 2; ++r) {
        if (!covered[2 * r] || !covered[2 * r + 1])
            list << RangeField{QStringLiteral("Register %1").arg(firstRegister + r), 2 * r, 2, -1};
    }
    return list;
}

QString text(const QByteArray &bytes, const RangeField &f)
{
    if (bytes.isEmpty())
        return QStringLiteral("(not read)");
    if (f.type < 0)
        return bytes.toHex(' ').toUpper();
    return ValueCodec::format(reinterpret_cast<const uint8_t *>(bytes.constData()), f.bytes, uint8_t(f.type));
}

QByteArray slice(const QByteArray &bytes, const RangeField &f)
{
    return bytes.size() >= f.offset + f.bytes ? bytes.mid(f.offset, f.bytes) : QByteArray();
}

FieldChange change(int firstRegister, const RangeField &f, const QByteArray &found, const QByteArray &left)
{
    return FieldChange{.key = f.key, .firstRegister = firstRegister + f.offset / 2, .byteCount = f.bytes, .coil = -1,
                       .asFound = found, .asLeft = left, .asFoundText = text(found, f), .asLeftText = text(left, f)};
}

} // namespace

QList<FieldChange> changedFields(int firstRegister, const QByteArray &asFound, const QByteArray &asLeft,
                                 const QByteArray &intended)
{
    QList<FieldChange> changes;
    for (const RangeField &f : fieldsOfRange(firstRegister, int(intended.size()))) {
        const QByteArray found = slice(asFound, f);
        const QByteArray left = slice(asLeft, f);
        const QByteArray wanted = slice(intended, f);
        // Without the as-found value nobody can say it stayed; without the as-left,
        // what was written decides.
        const bool changed = found.isEmpty() ? true : left.isEmpty() ? wanted != found : found != left;
        if (changed)
            changes << change(firstRegister, f, found, left);
    }
    return changes;
}

QList<FieldChange> rangeFields(int firstRegister, const QByteArray &asFound, const QByteArray &asLeft, int byteCount)
{
    QList<FieldChange> fields;
    for (const RangeField &f : fieldsOfRange(firstRegister, byteCount))
        fields << change(firstRegister, f, slice(asFound, f), slice(asLeft, f));
    return fields;
}

QStringList fieldsNotTaken(int firstRegister, const QByteArray &intended, const QByteArray &asLeft)
{
    QStringList keys;
    for (const RangeField &f : fieldsOfRange(firstRegister, int(intended.size()))) {
        if (slice(asLeft, f) != slice(intended, f))
            keys << f.key;
    }
    return keys;
}

int fieldCount(int firstRegister, int byteCount)
{
    return int(fieldsOfRange(firstRegister, byteCount).size());
}
