#include "NumberFormat.h"

#include "QuantityCode.h"
#include "RegisterImage.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

namespace {

constexpr std::array<const char *, NumberFormatCount> Patterns = {
    "%-7.6f", "%-6.5e", "%-4.3f", "%-5.4f", "%-6.5f", "%-7.6e", "%-6.5e", "%-4.3f",  // 0..7
    "%-4.3f", "%-3.2f", "%-2.1f", "%-2.1f", "%-2.1f", "%-1.0f", "%-5.4e", "%-4.3f",  // 8..15
    "%-4.3f", "%-3.2f", "%-2.1f", "%-2.1f", "%-2.1f", "%-1.0f", "%-5.4f", "%-5.2f",  // 16..23
    "%-4.3f", "%-7.6e", "%-7.6e", "%-lld",                                           // 24..27
};

constexpr int TransducerModelRegister = 635;  // CfgMiscInfo2.TransModelNum
constexpr int TransducerModelBytes = 10;
constexpr int SizeTextStart = 1;              // after the model text's first character
constexpr int SizeTextLength = 3;
constexpr std::array<std::string_view, 7> SizeTexts = {"012", "025", "050", "100", "200", "300", "400"};
constexpr std::array<SizeFormats, 7> FormatsBySize = {{
    {7, 15}, {8, 16}, {9, 17}, {10, 18}, {11, 19}, {12, 20}, {7, 15},
}};

SizeFormats g_sizeFormats;

template <typename... Args>
QString printfText(const char *pattern, Args... args)
{
    const int length = std::snprintf(nullptr, 0, pattern, args...);
    if (length < 0)
        return {};
    QByteArray buffer(length + 1, '\0');
    std::snprintf(buffer.data(), size_t(buffer.size()), pattern, args...);
    buffer.chop(1);
    return QString::fromLatin1(buffer);
}

QString integerText(double value)
{
    const double rounded = std::round(value);
    // Beyond the integer range (and for NaN) there is no integer to print; the
    // rounded value itself is the nearest honest text.
    constexpr double Limit = 9.2e18;
    if (!(std::fabs(rounded) < Limit))
        return printfText("%-.0f", rounded);
    return printfText(Patterns[IntegerFormatIndex], static_cast<long long>(rounded));
}

} // namespace

QString FormatByIndex(int formatIndex, double value)
{
    if (formatIndex < 0 || formatIndex >= NumberFormatCount)
        return QString::number(value, 'g', 15);
    if (formatIndex == IntegerFormatIndex)
        return integerText(value);
    return printfText(Patterns[size_t(formatIndex)], value);
}

int FormatIndexFor(int code)
{
    using namespace Quantity;
    switch (code) {
    case Frequency: case RawDspData:
        return 0;
    case Phase:
        return 1;
    case Temperature: case Concentration: case WaterCut:
        return 2;
    case Density: case DensityWithConcentration:
        return 3;
    case SensorVoltage:
        return 23;
    case DriveAmplitude: case AnalogCurrent: case KeyboardData:
        return 24;
    case MassFlow: case VolumeFlow: case StdVolumeFlow: case ConcentrateFlow: case NetOilFlow: case NetWaterRate:
        return g_sizeFormats.rate;
    default:
        return g_sizeFormats.total;
    }
}

QString FormatValue(int code, double value)
{
    return FormatByIndex(FormatIndexFor(code), value);
}

SizeFormats CurrentSizeFormats()
{
    return g_sizeFormats;
}

std::optional<int> SensorSizeIndex(const RegisterImage &image)
{
    const QString model = image.textAt(2 * TransducerModelRegister, TransducerModelBytes);
    if (model.size() < SizeTextStart + SizeTextLength)
        return std::nullopt;
    const QString size = model.mid(SizeTextStart, SizeTextLength);
    for (size_t i = 0; i < SizeTexts.size(); ++i) {
        if (size == QLatin1StringView(SizeTexts[i].data(), qsizetype(SizeTexts[i].size())))
            return int(i);
    }
    return 0;
}

void SelectSizeFormats(const RegisterImage &image)
{
    g_sizeFormats = FormatsBySize[size_t(SensorSizeIndex(image).value_or(0))];
}

double MinimumSpanFrom(const RegisterImage &image, int code)
{
    static constexpr std::array<double, 7> MassRateSpans = {
        0.01666667, 0.06666667, 0.25, 0.91666667, 2.66666667, 8.33333334, 12.5};
    static constexpr std::array<double, 7> VolumeRateSpans = {
        15.77255223, 63.0902089, 227.124752, 820.1727157, 2397.427938, 7400.0, 11356.2376};

    const std::optional<int> size = SensorSizeIndex(image);
    if (!size)
        return 0.0;
    using namespace Quantity;
    switch (code) {
    case Temperature:
        return 15.0;
    case Density:
        return 0.15;
    case MassFlow: case ConcentrateFlow:
        return MassRateSpans[size_t(*size)];
    case VolumeFlow: case StdVolumeFlow:
        return VolumeRateSpans[size_t(*size)];
    case Concentration:
        return 5.0;
    default:
        return 0.0;
    }
}
