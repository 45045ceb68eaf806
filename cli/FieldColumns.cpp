#include "FieldColumns.h"

#include "CsvText.h"

#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "RegisterImage.h"
#include "UnitLists.h"
#include "ValueCodec.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace FieldColumns {

namespace {
// The quantity whose live value block starts at this register (the first code that
// names it: a total before its forward and reverse variants).
int quantityOfValueBlock(int startRegister)
{
    for (int code = 1; code <= Quantity::TransmitterVariablesEx; ++code) {
        if (ValueBlockFor(code) == startRegister)
            return code;
    }
    return Quantity::NotUsed;
}
} // namespace

QString baseUnit(const FieldRef &field)
{
    const ValueKind kind = valueKindOf(field.type);
    if (kind != ValueKind::F64 && kind != ValueKind::F32)
        return {};
    for (const BlockDef &b : Catalogue::blocks()) {
        if (field.byteOffset >= b.byteOffset() && field.byteOffset < b.byteOffset() + b.bytes) {
            const int code = quantityOfValueBlock(b.startRegister);
            // Index 0 of a unit list is the unit the transmitter stores values in.
            return code == Quantity::NotUsed ? QString() : UnitListFor(code).value(0);
        }
    }
    return {};
}

QString header(const FieldRef &field)
{
    const QString unit = baseUnit(field);
    return CsvText::header(field.key, unit);
}

QString valueText(const RegisterImage &image, const FieldRef &field)
{
    if (valueKindOf(field.type) != ValueKind::F32 || field.byteCount < 4)
        return ValueCodec::format(image, field.byteOffset, field.byteCount, field.type);
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits = (bits << 8) | image.u8At(field.byteOffset + i);
    const float value = std::bit_cast<float>(bits);
    if (!std::isfinite(value))
        return ValueCodec::formatSingle(value);
    std::array<char, 32> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), value);
    return QString::fromLatin1(text.data(), written.ptr - text.data());
}

QString typeName(const FieldRef &field)
{
    switch (valueKindOf(field.type)) {
    case ValueKind::U8: return QStringLiteral("uint8");
    case ValueKind::U16: return QStringLiteral("uint16");
    case ValueKind::I32: return QStringLiteral("int32");
    case ValueKind::F64: return QStringLiteral("float64");
    case ValueKind::F32: return QStringLiteral("float32");
    case ValueKind::Text: break;
    }
    return QStringLiteral("text %1").arg(field.byteCount);
}

} // namespace FieldColumns
