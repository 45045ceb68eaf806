#include "SensorModelNumber.h"

#include <gtest/gtest.h>

using namespace SensorModelNumber;

namespace {
QString textOf(Part part, int position)
{
    return position < 0 ? QStringLiteral("<none>") : list(part).at(position).text;
}

Positions positionsOf(const QString &model)
{
    return decode(model);
}
}  // namespace

TEST(SensorModelNumber, DecodesStoredNumbers)
{
    struct Case {
        QString model;
        QStringList texts;  // size, material, connection size, rating, class
    };
    const Case cases[] = {
        {"m0258010", {"36 kg/min (80 lb/min)", "316L Stainless Steel", "3/8 Inch", "VCO fittings", "General Purpose"}},
        {"m0502S51", {"136 kg/min (300 lb/min)", "HASTELLOY C-22", "3A 2 Tri-Clamp", "3A-Authorized Tri-Clamp",
                      "FM Approved"}},
        {"m1008665", {"500 kg/min (1100 lb/min)", "316L Stainless Steel", "2 Inch", "Industrial Tri-Clamp", "<none>"}},
        // A 3-inch ANSI connection is what it says; only tri-clamp sizes stand for another.
        {"m2008621", {"1450 kg/min (3200 lb/min)", "316L Stainless Steel", "3 Inch", "150# ANSI RF", "FM Approved"}},
        // Not 8 characters: nothing matches and nothing past the text is read.
        {"m02", {"<none>", "<none>", "<none>", "<none>", "<none>"}},
        {"", {"<none>", "<none>", "<none>", "<none>", "<none>"}},
        {"m0258010x", {"<none>", "<none>", "<none>", "<none>", "<none>"}},
    };
    for (const Case &c : cases) {
        const Positions p = decode(c.model);
        QStringList shown;
        for (int part = 0; part < PartCount; ++part)
            shown << textOf(Part(part), p[part]);
        EXPECT_EQ(shown, c.texts) << c.model.toStdString();
    }
}

TEST(SensorModelNumber, ChecksNumbersAsAWhole)
{
    // Leaving the field and Apply check the same rule.
    const std::pair<QString, QString> cases[] = {
        {"m1008321", {}},
        {"m100832", LengthText},
        {"m0258", LengthText},
        {"m9998321", unknownPartText(Size)},
        {"m1208321", unknownPartText(Size)},
        {"m1005321", unknownPartText(Material)},
        {"m1008Z21", unknownPartText(ConnectionSize)},
        {"m1008391", unknownPartText(Rating)},
        {"m1008329", unknownPartText(ElectricalClass)},
    };
    for (const auto &[model, problem] : cases)
        EXPECT_EQ(checkTyped(model), problem) << model.toStdString();
}

TEST(SensorModelNumber, FitsConnectionSizeToSensorAndRating)
{
    struct Case {
        QString from;       // the lists as this model number selects them
        Part changed;
        QString code;       // the code picked in that list
        Rebuilt::Note note;
        QString model;      // empty when refused
        QString selectedSize;
    };
    const Case cases[] = {
        {"m1008321", Rating, "3", Rebuilt::None, "m1008331", "1 Inch"},
        {"m1008121", Rating, "2", Rebuilt::Mismatch, "m1008321", "1 Inch"},          // 1/2 Inch too small
        {"m0128010", Rating, "E", Rebuilt::Mismatch, "m01280E0", "3/8 Inch"},        // DIN, no size fits
        {"m3008710", Rating, "5", Rebuilt::Refused, "", ""},
        {"m0508120", Rating, "5", Rebuilt::None, "m0508S50", "3A 2 Tri-Clamp"},
        {"m0128310", Rating, "2", Rebuilt::None, "m0128320", "1/2 Inch"},            // smallest sensor: always 1/2
        {"m2008720", ConnectionSize, "X", Rebuilt::None, "m2008X20", "Special Size"},
        {"m2008720", Rating, "F", Rebuilt::Mismatch, "m2008FF0", "DN50"},
        {"m1008321", Rating, "1", Rebuilt::Mismatch, "m1008311", "1 Inch"},          // VCO: sensor too large
        {"m0508120", Rating, "6", Rebuilt::None, "m0508160", "1-1/2 Inch"},
        {"m2008621", ElectricalClass, "2", Rebuilt::None, "m2008622", "3 Inch"},  // ANSI 3 inch kept
    };
    for (const Case &c : cases) {
        Positions p = positionsOf(c.from);
        const QList<Code> &items = list(c.changed);
        for (int i = 0; i < items.size(); ++i)
            if (items[i].code == c.code)
                p[c.changed] = i;
        const Rebuilt r = rebuild(p);
        EXPECT_EQ(r.note, c.note) << c.from.toStdString() << " " << c.code.toStdString();
        EXPECT_EQ(r.model, c.model) << c.from.toStdString() << " " << c.code.toStdString();
        if (r.note != Rebuilt::Refused) {
            EXPECT_EQ(textOf(ConnectionSize, r.connectionSize), c.selectedSize) << c.from.toStdString();
        }
    }
}
