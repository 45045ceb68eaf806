#include "Catalogue.h"
#include "DefaultImage.h"
#include "RegisterImage.h"
#include "ValueCodec.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

RegisterImage defaultImage()
{
    RegisterImage image;
    EXPECT_TRUE(image.setBytes(defaultConfigurationImage()));
    return image;
}

QString valueOf(const RegisterImage &image, const char *key)
{
    const auto f = Catalogue::fieldByKey(QString::fromLatin1(key));
    EXPECT_TRUE(f) << key;
    return f ? ValueCodec::format(image, f->byteOffset, f->byteCount, f->type) : QString();
}

}  // namespace

TEST(DefaultImage, IsAStableImageOfUsableValues)
{
    EXPECT_EQ(defaultConfigurationImage(), defaultConfigurationImage());
    const RegisterImage image = defaultImage();
    const QByteArray bytes = image.bytes();
    // one-byte blocks keep their second byte clear
    EXPECT_EQ(image.reg(2401), 247 << 8);
    EXPECT_EQ(valueOf(image, "CfgMiscInfo.Tag"), QString::fromLatin1(DefaultImage::Tag));
    // the model text selects a known sensor size
    EXPECT_TRUE(QStringList({"012", "025", "050", "100", "200", "300", "400"}).contains(bytes.mid(1271, 3)));
    EXPECT_EQ(valueOf(image, "CfgMiscInfo2.TransModelNum"), QString::fromLatin1(DefaultImage::TransducerModel));
    for (int block : Catalogue::configurationBlocks()) {
        for (const FieldRef &f : Catalogue::fields(block)) {
            const ValueKind kind = valueKindOf(f.type);
            if (kind == ValueKind::F64) {
                EXPECT_TRUE(std::isfinite(image.f64At(f.byteOffset))) << f.key.toStdString();
            } else if (kind == ValueKind::F32) {
                EXPECT_TRUE(std::isfinite(image.f32At(f.byteOffset))) << f.key.toStdString();
            } else if (kind == ValueKind::Text && f.key != "DSPFilename" && f.key != "CfgHart.DeviceID") {
                // texts end inside their field, except the two that are defined to fill it
                EXPECT_TRUE(bytes.mid(f.byteOffset, f.byteCount).contains('\0')) << f.key.toStdString();
            }
        }
    }

    // each measured parameter's configuration block begins with a unit index
    // inside its unit list (sizes of the lists the unit module offers)
    const struct {
        int reg;
        int listSize;
    } units[] = {{680, 16}, {714, 2}, {748, 5}, {782, 18}, {816, 18}, {1020, 16}, {1054, 4}, {1673, 18}, {1747, 18}};
    for (const auto &u : units)
        EXPECT_LT(image.u8At(2 * u.reg), u.listSize) << u.reg;

    // output ranges are real ranges
    for (const char *block : {"Cfg420AOut", "Cfg420BOut", "Cfg420COut", "CfgPulse"}) {
        const auto lo = Catalogue::fieldByKey(QString::fromLatin1(block) + ".LRange");
        const auto hi = Catalogue::fieldByKey(QString::fromLatin1(block) + ".URange");
        ASSERT_TRUE(lo && hi);
        EXPECT_LT(image.f64At(lo->byteOffset), image.f64At(hi->byteOffset)) << block;
    }
}
