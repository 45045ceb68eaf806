#include "ChosenUnits.h"

#include "IniFile.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "RegisterImage.h"
#include "UnitConversion.h"
#include "UnitLists.h"

#include <array>

namespace {

// Where View Measurements keeps the unit of each quantity.
constexpr const char *ChoiceSection = "ViewMeas Units";
struct Choice {
    int code;
    const char *key;
};
constexpr std::array<Choice, 6> Choices = {{
    {.code = Quantity::MassFlow, .key = "MassRate"},
    {.code = Quantity::VolumeFlow, .key = "VolumeRate"},
    {.code = Quantity::StdVolumeFlow, .key = "StdVolRate"},
    {.code = Quantity::ConcentrateFlow, .key = "ConcRate"},
    {.code = Quantity::Density, .key = "Density"},
    {.code = Quantity::Temperature, .key = "Temperature"},
}};

// A quantity's configuration block holds its fallback value, cutoff and limits as
// doubles in base units at these byte offsets (after the unit and damping bytes).
constexpr std::array<int, 6> QuantityValueOffsets = {2, 10, 18, 26, 34, 42};
constexpr int DoubleBytes = 8;

// The quantity a recorded field is a value of, or 0.
int quantityOf(const FieldChange &change)
{
    if (change.coil >= 0 || change.byteCount != DoubleBytes)
        return 0;
    for (const Choice &choice : Choices) {
        const int offset = 2 * (change.firstRegister - ConfigBlockFor(choice.code));
        if (std::find(QuantityValueOffsets.begin(), QuantityValueOffsets.end(), offset) != QuantityValueOffsets.end())
            return choice.code;
    }
    return 0;
}

} // namespace

ChosenUnits::ChosenUnits(const QString &directory)
{
    const IniFile ini(directory, QStringLiteral("TARVINE.INI"));
    for (const Choice &choice : Choices) {
        const QString text = ini.readString(QLatin1String(ChoiceSection), QLatin1String(choice.key), QString());
        const qsizetype index = text.isEmpty() ? -1 : UnitListFor(choice.code).indexOf(text);
        // Special units need the transmitter's factor: those stay in base units.
        if (index >= 0 && index != SpecialIndexOf(choice.code))
            m_unitIndex.insert(choice.code, int(index));
    }
}

QString ChosenUnits::shown(const FieldChange &change, const QByteArray &base, const QString &recorded) const
{
    const int code = quantityOf(change);
    if (code == 0 || !m_unitIndex.contains(code) || base.size() != DoubleBytes)
        return recorded;
    RegisterImage value;
    value.store(change.firstRegister, base);
    const int index = m_unitIndex.value(code);
    const double shown = FromBase(code, value.f64At(2 * change.firstRegister), index);
    return QStringLiteral("%1 %2").arg(QString::number(shown, 'g', 10), UnitListFor(code).value(index));
}
