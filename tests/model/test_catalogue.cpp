#include "Catalogue.h"
#include "RegisterImage.h"
#include "TextTable.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

QStringList keysOf(int blockIndex)
{
    QStringList keys;
    for (const FieldRef &f : Catalogue::fields(blockIndex))
        keys.append(f.key);
    return keys;
}

int indexOf(const char *blockName)
{
    const BlockDef *b = Catalogue::blockByName(QString::fromLatin1(blockName));
    return b ? b->index : -1;
}

}  // namespace

TEST(CatalogueTables, BlocksTileTheImageInOrder)
{
    const auto blocks = Catalogue::blocks();
    ASSERT_EQ(blocks.size(), 128u);
    QSet<QString> names;
    int expectedStart = 0;
    for (const BlockDef &b : blocks) {
        EXPECT_EQ(int(&b - blocks.data()), b.index);
        EXPECT_EQ(int(b.bytes) % 2, 0) << b.qName().toStdString();
        EXPECT_GT(b.bytes, 0);
        if (b.qName() == "MassScalar")
            expectedStart = 2292;  // registers 2143..2291 belong to no block
        EXPECT_EQ(b.startRegister, expectedStart) << b.qName().toStdString();
        expectedStart = b.endRegister();
        names.insert(b.qName());
    }
    EXPECT_EQ(expectedStart, RegisterImage::RegisterCount);
    EXPECT_EQ(names.size(), 128);
}

TEST(CatalogueTables, LayoutSizesMatchTheirFieldsAndBlocks)
{
    ASSERT_EQ(Catalogue::layouts().size(), 40u);
    for (const LayoutDef &l : Catalogue::layouts()) {
        int sum = 0;
        for (const FieldDef &f : l.fields) {
            sum += f.bytes;
            if (f.nested) {
                const LayoutDef *inner = Catalogue::layout(f.nested);
                ASSERT_NE(inner, nullptr) << "layout " << int(l.number);
                // a nested field holds whole elements of its layout
                EXPECT_EQ(f.bytes % inner->bytes, 0) << "layout " << int(l.number);
            }
        }
        EXPECT_EQ(sum, int(l.bytes)) << "layout " << int(l.number);
        EXPECT_LE(l.fields.size(), 23u);
    }
    for (const BlockDef &b : Catalogue::blocks()) {
        if (b.layout == 0)
            continue;
        const LayoutDef *l = Catalogue::layout(b.layout);
        ASSERT_NE(l, nullptr) << b.qName().toStdString();
        if (b.qName() == "ErrorLog")
            EXPECT_EQ(int(b.bytes), l->bytes + 47 * 2);  // 48 entries, only the first named
        else if (b.qName().startsWith("VCFTable"))
            EXPECT_EQ(int(b.bytes), l->bytes + 2);  // a spare word after the two 14-entry columns
        else
            EXPECT_EQ(int(b.bytes), int(l->bytes)) << b.qName().toStdString();
    }
}

TEST(CatalogueTables, CoilsAreNumberedWithAGapAt74To78)
{
    const auto coils = Catalogue::coils();
    ASSERT_EQ(coils.size(), 83u);
    int expected = 0;
    for (const CoilDef &c : coils) {
        if (expected == 74)
            expected = 79;
        EXPECT_EQ(int(c.number), expected);
        EXPECT_FALSE(c.name.empty());
        ++expected;
    }
    EXPECT_EQ(Catalogue::coilName(76), "");
    EXPECT_EQ(Catalogue::coilName(88), "");
}

TEST(CatalogueLookups, MissesGiveNothingAndNestedFieldsLandInPlace)
{
    EXPECT_EQ(Catalogue::blockByName(u"cfgflowmass"), nullptr);
    EXPECT_EQ(Catalogue::blockByName(u""), nullptr);
    EXPECT_EQ(Catalogue::block(-1), nullptr);
    EXPECT_EQ(Catalogue::block(128), nullptr);
    EXPECT_EQ(Catalogue::layout(0), nullptr);
    EXPECT_EQ(Catalogue::layout(41), nullptr);
    EXPECT_EQ(Catalogue::blockStartingAt(2200), nullptr);
    EXPECT_FALSE(Catalogue::fieldByKey(u"CfgMiscInfo.Nope"));
    EXPECT_FALSE(Catalogue::fieldByKey(u"Nope.Tag"));
    EXPECT_FALSE(Catalogue::fieldByKey(u"CfgMiscInfo"));  // a structured block has no bare key

    // Nested layouts put their fields at the right place.
    const auto calcCnt = Catalogue::fieldByKey(u"DSPProcData.CalcCnt");
    ASSERT_TRUE(calcCnt);
    EXPECT_EQ(calcCnt->byteOffset, 2 * 459 + 62);
    const auto dvcf = Catalogue::fieldByKey(u"VCFTable2.dVCF14");
    ASSERT_TRUE(dvcf);
    EXPECT_EQ(dvcf->byteOffset, 2 * (2476 + 113) + 224 - 8);
}

TEST(CatalogueWalk, KeysFollowLayoutsAndRepeatNames)
{
    EXPECT_EQ(keysOf(indexOf("AlarmLog")), QStringList({"AlarmLog.Count", "AlarmLog.Alarm"}));
    EXPECT_EQ(keysOf(indexOf("ErrorLog")), QStringList({"ErrorLog.ErrPtr", "ErrorLog.Error", "ErrorLog.TaskID"}));

    QStringList dsp;
    for (int i = 0; i < 3; ++i)
        dsp << "DSPProcData.Value" << "DSPProcData.Alarm" << "DSPProcData.MaxOut";
    dsp << "DSPProcData.DeltaT" << "DSPProcData.CalcCnt";
    EXPECT_EQ(keysOf(indexOf("DSPProcData")), dsp);

    const QList<FieldRef> tx = Catalogue::fields(indexOf("CfgTxVarEx"));
    ASSERT_EQ(tx.size(), 10);
    EXPECT_EQ(tx[2].key, "CfgTxVarEx.Resv");
    EXPECT_EQ(tx[3].key, "CfgTxVarEx.Resv");
    EXPECT_EQ(tx[4].byteOffset, 2 * 3380 + 4);
    EXPECT_EQ(tx[4].type, ValueType::F32);
    EXPECT_EQ(tx[9].byteOffset, 2 * 3380 + 36);
    EXPECT_EQ(keysOf(indexOf("DSPFilename")), QStringList({"DSPFilename"}));
    EXPECT_TRUE(Catalogue::fields(128).isEmpty());
}

TEST(CatalogueWalk, LinesCarryTheCodecsValueText)
{
    RegisterImage image;
    image.setTextAt(2 * 2363, 10, "DIGITALPLL");  // fills the field: no zero byte
    image.setU8At(2 * 880, 1);
    image.setU8At(2 * 880 + 1, 0x55);  // the second byte of a one-byte block is not shown
    image.setF64At(2 * 1012, 1.5);
    EXPECT_EQ(Catalogue::walkBlock(image, indexOf("DSPFilename")), QStringList({"DSPFilename, DIGITALPLL"}));
    EXPECT_EQ(Catalogue::walkBlock(image, indexOf("CfgFlowDir")), QStringList({"CfgFlowDir, 1"}));
    EXPECT_EQ(Catalogue::walkBlock(image, indexOf("CfgFault"), QLatin1Char(',')).value(0), "CfgFault.SensorDelay, 1,5");
    // an empty text leaves the key, a comma and a space
    EXPECT_EQ(Catalogue::walkBlock(image, indexOf("CfgMiscInfo")).value(0), "CfgMiscInfo.Tag, ");
}

TEST(TextTableTest, OutOfRangeNumbersGiveNoTextAndGroupsAgreeWithTheCatalogue)
{
    for (int n : {0, 117, 247, TextTable::LayoutEnd, -1, 100000})
        EXPECT_EQ(TextTable::text(n), "") << n;
    EXPECT_EQ(TextTable::text(144), QString::fromUtf8("\u00b0API"));
    EXPECT_EQ(TextTable::enumerationText(5, 60), "Mass Flow");
    EXPECT_EQ(TextTable::group(TextTable::BlockNames), Catalogue::blockNames());
    EXPECT_EQ(TextTable::group(TextTable::CoilNames), Catalogue::coilNames());
    EXPECT_TRUE(TextTable::group(99).isEmpty());
    EXPECT_EQ(TextTable::errorLogText(15), "");
    EXPECT_EQ(TextTable::errorLogText(-1), "");
}

TEST(TextTableTest, EveryFieldNameHasItsNumber)
{
    for (const LayoutDef &l : Catalogue::layouts()) {
        for (const FieldDef &f : l.fields) {
            const QString name = QString::fromLatin1(f.name.data(), qsizetype(f.name.size()));
            const int id = TextTable::fieldNameId(name);
            ASSERT_GE(id, TextTable::FieldNameFirst) << name.toStdString();
            EXPECT_LE(id, TextTable::FieldNameLast);
            EXPECT_EQ(TextTable::text(id), name);
        }
    }
    EXPECT_EQ(TextTable::fieldNameId(u"NoSuchField"), 0);
    EXPECT_EQ(TextTable::fieldNameId(u""), 0);
}
