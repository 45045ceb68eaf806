#include "SensorModelNumber.h"

namespace SensorModelNumber {

namespace {
const QList<Code> Sizes = {
    {"m012", "9.0 kg/min (20lb/min)"},       {"m025", "36 kg/min (80 lb/min)"},
    {"m050", "136 kg/min (300 lb/min)"},     {"m100", "500 kg/min (1100 lb/min)"},
    {"m200", "1450 kg/min (3200 lb/min)"},   {"m300", "4080 kg/min (9000 Ib/min)"},
    {"m400", "6800 kg/min (15000 lb/min)"},
};
const QList<Code> Materials = {{"2", "HASTELLOY C-22"}, {"8", "316L Stainless Steel"}};
const QList<Code> ConnectionSizes = {
    {"0", "3/8 Inch"}, {"1", "1/2 Inch"},  {"2", "3/4 Inch"},          {"3", "1 Inch"},
    {"4", "1-1/2 Inch"}, {"S", "3A 1-1/2 TriClamp"}, {"5", "2 Inch"},   {"T", "3A 2 Tri-Clamp"},
    {"U", "3A 2-1/2 TriClamp"}, {"6", "3 Inch"}, {"7", "4 Inch"},       {"V", "3A 4 Tri-Clamp"},
    {"8", "6 Inch"}, {"9", "8 Inch"},       {"B", "DN15"}, {"D", "DN25"}, {"F", "DN50"}, {"G", "DN80"},
    {"H", "DN100"},  {"I", "DN150"},        {"J", "DN200"}, {"X", "Special Size"},
};
const QList<Code> Ratings = {
    {"1", "VCO fittings"}, {"2", "150# ANSI RF"}, {"3", "300# ANSI RF"}, {"4", "600# ANSI RF"},
    {"7", "900# ANSI RF"}, {"E", "DIN PN40"}, {"F", "DIN PN100"}, {"5", "3A-Authorized Tri-Clamp"},
    {"6", "Industrial Tri-Clamp"}, {"X", "Special Rating"},
};
const QList<Code> Classes = {
    {"0", "General Purpose"}, {"1", "FM Approved"}, {"2", "CSA Approved"}, {"3", "CENELEC Approved"}};

// What a connection size outside the allowed ones gets, for one sensor size.
enum class Misfit {
    AdjustWithNote,  // select the first allowed size and say so
    AdjustSilently,  // select the first allowed size
    NoteOnly,        // say so, change nothing
    Refuse,          // this sensor cannot take the rating at all
};
struct Fit {
    const char *allowed;
    Misfit misfit;
};
struct RatingRule {
    const char *ratings;
    std::array<Fit, 7> bySize;  // by transducer size position
};
constexpr Misfit Note = Misfit::AdjustWithNote, Silent = Misfit::AdjustSilently, Only = Misfit::NoteOnly,
                 Refuse = Misfit::Refuse;
const RatingRule Rules[] = {
    {.ratings = "2347",
     .bySize = {{{"1", Silent}, {"14", Note}, {"1234", Note}, {"345", Note}, {"567", Note}, {"678", Note},
                 {"789", Note}}}},
    {.ratings = "EF",
     .bySize = {{{"", Only}, {"B", Note}, {"BD", Note}, {"DF", Note}, {"FGH", Note}, {"GHI", Note}, {"HIJ", Note}}}},
    {.ratings = "1",
     .bySize = {{{"0", Note}, {"0", Note}, {"3", Note}, {"", Only}, {"", Only}, {"", Only}, {"", Only}}}},
    {.ratings = "5",
     .bySize = {{{"S", Silent}, {"S", Silent}, {"T", Silent}, {"U", Silent}, {"V", Silent}, {"", Refuse},
                 {"", Refuse}}}},
    {.ratings = "6",
     .bySize = {{{"", Refuse}, {"4", Silent}, {"4", Silent}, {"5", Silent}, {"7", Silent}, {"", Refuse},
                 {"", Refuse}}}},
};

int positionOf(Part part, const QString &code)
{
    const QList<Code> &items = list(part);
    for (int i = 0; i < items.size(); ++i)
        if (items[i].code == code)
            return i;
    return -1;
}

QString codeAt(Part part, int position)
{
    const QList<Code> &items = list(part);
    return position >= 0 && position < items.size() ? items[position].code : QString();
}

// The parts of an 8-character model number, in Part order.
std::array<QString, PartCount> split(const QString &model)
{
    return {model.left(4), model.mid(4, 1), model.mid(5, 1), model.mid(6, 1), model.mid(7, 1)};
}
}  // namespace

const QList<Code> &list(Part part)
{
    switch (part) {
    case Size: return Sizes;
    case Material: return Materials;
    case ConnectionSize: return ConnectionSizes;
    case Rating: return Ratings;
    default: return Classes;
    }
}

QString unknownPartText(Part part)
{
    switch (part) {
    case Size: return QStringLiteral("Transducer Size does not exist.");
    case Material: return QStringLiteral("Wetted Material code does not exist.");
    case ConnectionSize: return QStringLiteral("Connector Size code does not exist.");
    case Rating: return QStringLiteral("Connector Rating code does not exist.");
    default: return QStringLiteral("Electrical Rating code does not exist.");
    }
}

Positions decode(const QString &model)
{
    Positions positions;
    positions.fill(-1);
    if (model.size() != 8)
        return positions;
    std::array<QString, PartCount> parts = split(model);
    const int size = positionOf(Size, parts[Size]);
    // Only tri-clamp fittings store a size that stands for the one that fits the
    // sensor; a "6" with any other rating is the 3-inch connection it says.
    if (size >= 2 && size <= 4) {
        if (parts[ConnectionSize] == QLatin1String("S"))
            parts[ConnectionSize] = QString(QLatin1Char("TUV"[size - 2]));
        else if (parts[ConnectionSize] == QLatin1String("6") && parts[Rating] == QLatin1String("6"))
            parts[ConnectionSize] = QString(QLatin1Char("457"[size - 2]));
    }
    for (int p = 0; p < PartCount; ++p)
        positions[p] = positionOf(Part(p), parts[p]);
    return positions;
}

QString checkTyped(const QString &model)
{
    if (model.size() != 8)
        return LengthText;
    const std::array<QString, PartCount> parts = split(model);
    for (int p = 0; p < PartCount; ++p)
        if (positionOf(Part(p), parts[p]) < 0)
            return unknownPartText(Part(p));
    return {};
}

Rebuilt rebuild(const Positions &selected)
{
    Rebuilt out;
    const int size = selected[Size];
    QString connection = codeAt(ConnectionSize, selected[ConnectionSize]);
    const QString rating = codeAt(Rating, selected[Rating]);
    out.connectionSize = selected[ConnectionSize];
    QString modelConnection = connection;
    if (rating != QLatin1String("X") && connection != QLatin1String("X") && size >= 0 && size < 7) {
        for (const RatingRule &rule : Rules) {
            if (!QString::fromLatin1(rule.ratings).contains(rating))
                continue;
            const Fit &fit = rule.bySize[size_t(size)];
            const QString allowed = QString::fromLatin1(fit.allowed);
            if (fit.misfit == Refuse) {
                out.note = Rebuilt::Refused;
                return out;
            }
            if (fit.misfit == Only) {
                out.note = Rebuilt::Mismatch;
            } else if (!allowed.contains(connection) || fit.misfit == Silent) {
                const QString adjusted = allowed.left(1);
                out.connectionSize = positionOf(ConnectionSize, adjusted);
                if (fit.misfit == Note && !allowed.contains(connection)) {
                    out.note = Rebuilt::Mismatch;
                    modelConnection = adjusted;
                }
            }
            break;
        }
    }
    if (rating == QLatin1String("5"))
        modelConnection = QStringLiteral("S");
    out.model = codeAt(Size, selected[Size]) + codeAt(Material, selected[Material]) + modelConnection + rating
                + codeAt(ElectricalClass, selected[ElectricalClass]);
    return out;
}

}  // namespace SensorModelNumber
