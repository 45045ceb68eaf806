#include "UserUnitRecords.h"

#include "ByteOrder.h"
#include "QuantityCode.h"
#include "RegisterImage.h"
#include "UnitConversion.h"

#include <cstring>

namespace {

// Byte offsets of the fields inside the record.
constexpr int FlowFactorAt = 0;
constexpr int FlowTextAt = 8;
constexpr int TextFieldBytes = 6;
constexpr int TotalFactorAt = 14;
constexpr int TotalTextAt = 22;
constexpr int BaseRateAt = 28;
constexpr int ReservedAt = 29;

constexpr int MassBaseRates = 15;    // lb/sec .. g/hr
constexpr int VolumeBaseRates = 17;  // cc/sec .. Barrel/hr, m3/day, Barrel/day

QString textAt(const QByteArray &bytes, int offset)
{
    const char *p = bytes.constData() + offset;
    return QString::fromLatin1(p, qsizetype(strnlen(p, SpecialUnitRecord::MaxTextLength)));
}

void putText(QByteArray &bytes, int offset, const QString &text)
{
    const QByteArray latin = text.left(SpecialUnitRecord::MaxTextLength).toLatin1();
    std::memcpy(bytes.data() + offset, latin.constData(), size_t(latin.size()));
}

bool isRateQuantity(int code)
{
    return code == Quantity::MassFlow || code == Quantity::ConcentrateFlow || code == Quantity::VolumeFlow
        || code == Quantity::StdVolumeFlow;
}

} // namespace

SpecialUnitRecord SpecialUnitRecord::fromBytes(const QByteArray &source)
{
    QByteArray bytes = source.left(ByteCount);
    bytes.append(ByteCount - bytes.size(), '\0');
    SpecialUnitRecord r;
    r.flowFactor = BigEndian::doubleAt(bytes, FlowFactorAt);
    r.flowText = textAt(bytes, FlowTextAt);
    r.totalFactor = BigEndian::doubleAt(bytes, TotalFactorAt);
    r.totalText = textAt(bytes, TotalTextAt);
    r.baseRate = uint8_t(bytes[BaseRateAt]);
    r.reserved = uint8_t(bytes[ReservedAt]);
    return r;
}

SpecialUnitRecord SpecialUnitRecord::fromImage(const RegisterImage &image, int firstRegister)
{
    return fromBytes(image.read(firstRegister, ByteCount));
}

QByteArray SpecialUnitRecord::toBytes() const
{
    QByteArray bytes(ByteCount, '\0');
    BigEndian::putDouble(bytes, FlowFactorAt, flowFactor);
    putText(bytes, FlowTextAt, flowText);
    BigEndian::putDouble(bytes, TotalFactorAt, totalFactor);
    putText(bytes, TotalTextAt, totalText);
    bytes[BaseRateAt] = char(baseRate);
    bytes[ReservedAt] = char(reserved);
    static_assert(TotalTextAt + TextFieldBytes == BaseRateAt);
    return bytes;
}

int RateIndexForBaseRate(bool volume, int baseRate)
{
    if (baseRate < 0 || baseRate >= (volume ? VolumeBaseRates : MassBaseRates))
        return -1;
    return baseRate < RateSpecialIndex ? baseRate : baseRate + 1;
}

int BaseRateForRateIndex(bool volume, int rateIndex)
{
    if (rateIndex < 0 || rateIndex == RateSpecialIndex || rateIndex > (volume ? VolumeBaseRates : MassBaseRates))
        return -1;
    return rateIndex < RateSpecialIndex ? rateIndex : rateIndex - 1;
}

int SpecialRecordRegisterFor(int code)
{
    if (IsMassQuantity(code))
        return SpecialUnitRecord::MassRegister;
    if (IsVolumeQuantity(code))
        return SpecialUnitRecord::VolumeRegister;
    return 0;
}

double SpecialFactorFrom(int code, const SpecialUnitRecord &record)
{
    const bool volume = IsVolumeQuantity(code);
    if (!volume && !IsMassQuantity(code))
        return 0.0;
    const int rateIndex = RateIndexForBaseRate(volume, record.baseRate);
    if (rateIndex < 0)
        return 1.0;
    const int rateCode = volume ? Quantity::VolumeFlow : Quantity::MassFlow;
    if (isRateQuantity(code))
        return record.flowFactor * TableFactor(rateCode, rateIndex).value_or(1.0);
    const int totalCode = volume ? Quantity::VolumeTotal : Quantity::MassTotal;
    const int totalIndex = TotalIndexForRate(rateCode, rateIndex);
    return record.totalFactor * TableFactor(totalCode, totalIndex).value_or(1.0);
}

QString SpecialUnitTextFrom(int code, const SpecialUnitRecord &record)
{
    using namespace Quantity;
    switch (code) {
    case MassFlow: case VolumeFlow: case StdVolumeFlow:
        return record.flowText;
    case MassTotal: case VolumeTotal: case StdVolumeTotal:
        return record.totalText;
    default:
        return {};
    }
}

SpecialFactorSource SpecialFactorsFromImage(const RegisterImage &image)
{
    return [&image](int code) {
        const int reg = SpecialRecordRegisterFor(code);
        return reg ? SpecialFactorFrom(code, SpecialUnitRecord::fromImage(image, reg)) : 0.0;
    };
}
