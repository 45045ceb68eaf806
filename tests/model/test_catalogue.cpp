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
    EXPECT_EQ(Catalogue::coilName(0), "Elec Zero");
    EXPECT_EQ(Catalogue::coilName(73), "Disp Date/Time Update");
    EXPECT_EQ(Catalogue::coilName(76), "");
    EXPECT_EQ(Catalogue::coilName(83), "Ready");
    EXPECT_EQ(Catalogue::coilName(88), "");
    EXPECT_EQ(Catalogue::coilNames().size(), 83);
    EXPECT_EQ(Catalogue::blockNames().value(127), "CfgTxVarEx");
}

TEST(CatalogueLookups, ByNameIndexAndRegister)
{
    ASSERT_NE(Catalogue::blockByName(u"CfgFlowMass"), nullptr);
    EXPECT_EQ(Catalogue::blockByName(u"CfgFlowMass")->startRegister, 680);
    EXPECT_EQ(Catalogue::blockByName(u"cfgflowmass"), nullptr);
    EXPECT_EQ(Catalogue::blockByName(u""), nullptr);
    EXPECT_EQ(Catalogue::block(-1), nullptr);
    EXPECT_EQ(Catalogue::block(128), nullptr);
    EXPECT_EQ(Catalogue::layout(0), nullptr);
    EXPECT_EQ(Catalogue::layout(41), nullptr);
    ASSERT_NE(Catalogue::blockStartingAt(1713), nullptr);
    EXPECT_EQ(Catalogue::blockStartingAt(1713)->qName(), "CfgFlowNetOilWC");
    EXPECT_EQ(Catalogue::blockStartingAt(2200), nullptr);
    EXPECT_EQ(Catalogue::block(90)->qName(), "CFGWell30");
    EXPECT_EQ(Catalogue::block(126)->startRegister, 2476 + 7 * 113);

    const auto model = Catalogue::fieldByKey(u"CfgMiscInfo2.TransModelNum");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->byteOffset, 1270);
    EXPECT_EQ(model->byteCount, 10);
    const auto stopBits = Catalogue::fieldByKey(u"SCI.StopBits");
    ASSERT_TRUE(stopBits);
    EXPECT_EQ(stopBits->byteOffset, 2 * 2406 + 7);
    const auto addr = Catalogue::fieldByKey(u"ModbusAddr");
    ASSERT_TRUE(addr);
    EXPECT_EQ(addr->byteOffset, 2 * 2401);
    EXPECT_EQ(addr->byteCount, 2);
    // nested layouts put their fields at the right place
    const auto maxOut = Catalogue::fieldByKey(u"DSPProcData.MaxOut");
    ASSERT_TRUE(maxOut);
    EXPECT_EQ(maxOut->byteOffset, 2 * 459 + 10);
    const auto calcCnt = Catalogue::fieldByKey(u"DSPProcData.CalcCnt");
    ASSERT_TRUE(calcCnt);
    EXPECT_EQ(calcCnt->byteOffset, 2 * 459 + 62);
    const auto dvcf = Catalogue::fieldByKey(u"VCFTable2.dVCF14");
    ASSERT_TRUE(dvcf);
    EXPECT_EQ(dvcf->byteOffset, 2 * (2476 + 113) + 224 - 8);

    EXPECT_FALSE(Catalogue::fieldByKey(u"CfgMiscInfo.Nope"));
    EXPECT_FALSE(Catalogue::fieldByKey(u"Nope.Tag"));
    EXPECT_FALSE(Catalogue::fieldByKey(u"CfgMiscInfo"));  // a structured block has no bare key
}

TEST(CatalogueWalk, ConfigurationBlocksGive780LinesInOrder)
{
    const QList<int> config = Catalogue::configurationBlocks();
    ASSERT_EQ(config.size(), 100);
    EXPECT_EQ(config.first(), 27);
    EXPECT_EQ(config.last(), 127);
    EXPECT_FALSE(config.contains(108));

    RegisterImage image;
    QStringList lines;
    for (int i : config) {
        const QString prefix = Catalogue::block(i)->qName();
        for (const QString &line : Catalogue::walkBlock(image, i)) {
            EXPECT_TRUE(line.startsWith(prefix + ".") || line.startsWith(prefix + ", ")) << line.toStdString();
            lines.append(line);
        }
    }
    ASSERT_EQ(lines.size(), 780);
    EXPECT_EQ(lines.first(), "CfgBatch.Param, 0");
    EXPECT_EQ(lines.value(97), "CfgFlowDir, 0");
    EXPECT_EQ(lines.last(), "CfgTxVarEx.Resv, 0");
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

    QStringList table{"CfgPcntConcTbl1.RefTemp"};
    for (int i = 1; i <= 14; ++i)
        table << QStringLiteral("CfgPcntConcTbl1.Dens%1").arg(i);
    for (int i = 1; i <= 14; ++i)
        table << QStringLiteral("CfgPcntConcTbl1.Conc%1").arg(i);
    table << "CfgPcntConcTbl1.RecEmpty" << "CfgPcntConcTbl1.Rsvd";
    EXPECT_EQ(keysOf(indexOf("CfgPcntConcTbl1")), table);

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

TEST(TextTableTest, GroupsHoldTheirTextsAtTheStatedNumbers)
{
    EXPECT_EQ(TextTable::text(0), "");
    EXPECT_EQ(TextTable::text(1), "0");
    EXPECT_EQ(TextTable::text(125), "lb");
    EXPECT_EQ(TextTable::text(145), "lb/sec");
    EXPECT_EQ(TextTable::text(144), QString::fromUtf8("\u00b0API"));
    EXPECT_EQ(TextTable::text(184), QString::fromUtf8("\u00b0C"));
    EXPECT_EQ(TextTable::text(117), "");
    EXPECT_EQ(TextTable::text(246), "CENELEC Approved");
    EXPECT_EQ(TextTable::text(247), "");
    EXPECT_EQ(TextTable::text(248), "DataOut");
    EXPECT_EQ(TextTable::text(375), "CfgTxVarEx");
    EXPECT_EQ(TextTable::text(659), "Elec Zero");
    EXPECT_EQ(TextTable::text(741), "Stop Well Test");
    EXPECT_EQ(TextTable::text(TextTable::LayoutEnd), "");
    EXPECT_EQ(TextTable::text(-1), "");
    EXPECT_EQ(TextTable::text(100000), "");
    EXPECT_EQ(TextTable::enumerationText(5, 60), "Mass Flow");

    const QStringList enums = TextTable::group(TextTable::Enumerations);
    ASSERT_EQ(enums.size(), 246);
    EXPECT_EQ(enums[144], "lb/sec");
    EXPECT_EQ(TextTable::group(TextTable::BlockNames), Catalogue::blockNames());
    EXPECT_EQ(TextTable::group(TextTable::CoilNames), Catalogue::coilNames());
    EXPECT_TRUE(TextTable::group(99).isEmpty());
    EXPECT_EQ(TextTable::first(TextTable::FieldNames), 377);

    EXPECT_EQ(TextTable::errorLogText(0), "<NO ERRORS LOGGED>");
    EXPECT_EQ(TextTable::errorLogText(9), "RTD FAILURE");
    EXPECT_EQ(TextTable::errorLogText(14), "TASK HAS BAD REV NO");
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
