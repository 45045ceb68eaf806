#include "Catalogue.h"
#include "Clock.h"
#include "CliRunner.h"
#include "CommandTable.h"
#include "ConfigurationComparison.h"
#include "ConfigurationFiles.h"
#include "DefaultImage.h"
#include "DiffCommand.h"
#include "PdfText.h"
#include "PrintObject.h"
#include "TfrmCompareConfiguration.h"
#include "SimFixture.h"

#include <QCoreApplication>
#include <QDate>
#include <QLabel>
#include <QTableWidget>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DiffTest : public ::testing::Test, protected SimulatedUnit {
protected:
    void SetUp() override { registerDiffCommand(table); }
    int diff(const QString &a, const QString &b, const QStringList &more = {})
    {
        out.clear();
        err.clear();
        QTextStream o(&out), e(&err);
        const QStringList args{QStringLiteral("tarvine-cli"), QStringLiteral("--port"), QStringLiteral("/sim"),
                               QStringLiteral("diff"), a, b};
        return runCli(args + more, serial, table, o, e);
    }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    void write(const char *name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    RecordingPrompter prompter;
    QTemporaryDir dir;
    CommandTable table;
    QString out, err;
};

} // namespace

TEST_F(DiffTest, EqualFilesChangedFieldsAndDamagedFiles)
{
    QString error;
    ASSERT_TRUE(ConfigurationFiles::writeText(path("unit.cfg"), unitImage(), &error)) << error.toStdString();
    ASSERT_TRUE(ConfigurationFiles::writeBinary(path("unit.bin"), unitImage(), &error)) << error.toStdString();
    EXPECT_EQ(diff(path("unit.cfg"), path("unit.bin")), 0) << err.toStdString();
    EXPECT_EQ(out, QString());
    EXPECT_EQ(diff(path("unit.cfg"), QStringLiteral("unit")), 0) << err.toStdString();

    // What one Apply changes on the unit, and only that, shows up.
    unitImage().setTextAt(2 * 578, 20, QStringLiteral("FT-202"));
    const auto cutoff = Catalogue::fieldByKey(u"CfgBatch.Cutoff");
    ASSERT_TRUE(cutoff);
    unitImage().setF64At(cutoff->byteOffset, 7.5);
    // A reading the unit updates by itself is no difference in set-up, unless asked for.
    unitImage().setF64At(Catalogue::fieldByKey(u"Cfg420AOut.mAmps")->byteOffset, 12.5);
    EXPECT_EQ(diff(path("unit.bin"), QStringLiteral("unit")), 1) << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("CfgBatch.Cutoff  0       7.5\n"
                                  "CfgMiscInfo.Tag  FT-101  FT-202\n"));
    EXPECT_TRUE(err.contains(QStringLiteral("2 field(s) differ")));
    EXPECT_TRUE(err.contains(QStringLiteral("1 reading(s)")));
    EXPECT_EQ(diff(path("unit.bin"), QStringLiteral("unit"), {QStringLiteral("all")}), 1);
    EXPECT_EQ(out.count(QLatin1Char('\n')), 3);
    EXPECT_TRUE(out.contains(QStringLiteral("Cfg420AOut.mAmps"))) << out.toStdString();

    write("short.bin", QByteArray(100, '\0'));
    EXPECT_EQ(diff(path("short.bin"), path("unit.cfg")), 2);
    EXPECT_TRUE(err.contains(path("short.bin"))) << err.toStdString();
    QByteArray text = ConfigurationFiles::textLines(unitImage()).join(QStringLiteral("\r\n")).toLatin1() + "\r\n";
    write("bad.cfg", text.replace("CfgBatch.Cutoff, 7.5", "CfgBatch.Cutoff, lots"));
    EXPECT_EQ(diff(path("unit.cfg"), path("bad.cfg")), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("CfgBatch.Cutoff"))) << err.toStdString();
    EXPECT_EQ(diff(path("missing.cfg"), path("unit.cfg")), 2);
    EXPECT_EQ(diff(path("unit.txt"), path("unit.cfg")), 2);
    // A unit that does not answer is an error, not a difference.
    ManualClock clock;
    Clock::install(&clock);
    simulator.transmitter()->setFaults({.noReply = true});
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { clock.advance(ModbusLink::NoResponseMs); }, Qt::QueuedConnection);
    EXPECT_EQ(diff(path("unit.cfg"), QStringLiteral("unit")), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("could not be read"))) << err.toStdString();
    Clock::install(nullptr);
}

TEST(ConfigurationComparison, RepeatedKeysAreNumbered)
{
    RegisterImage a;
    a.setBytes(defaultConfigurationImage());
    QHash<QString, int> seen;
    std::optional<FieldRef> repeat;
    for (int block : Catalogue::configurationBlocks())
        for (const FieldRef &f : Catalogue::fields(block))
            if (++seen[f.key] == 2 && !repeat)
                repeat = f;
    ASSERT_TRUE(repeat);
    RegisterImage b = a;
    b.setU8At(repeat->byteOffset, uint8_t(a.u8At(repeat->byteOffset) ^ 0x41));
    const auto d = ConfigurationComparison::differences(a, b);
    ASSERT_EQ(d.size(), 1);
    EXPECT_EQ(d[0].key, repeat->key + QStringLiteral("[2]"));
}

TEST_F(DiffTest, CompareWindowListsAndPrintsWhatDiffers)
{
    QString error;
    ASSERT_TRUE(ConfigurationFiles::writeText(path("unit.cfg"), unitImage(), &error));
    unitImage().setTextAt(2 * 578, 20, QStringLiteral("FT-202"));
    Session session;
    ModbusLink link(&serial, &session);
    ASSERT_TRUE(link.openPort());
    TfrmCompareConfiguration window(link);
    ASSERT_TRUE(window.compareWithUnit(path("unit.cfg")));
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tblDifferences"));
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("CfgMiscInfo.Tag"));
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("FT-202"));

    PrintObject print;
    ConfigurationComparison::buildReport(print, window.differences(), QStringLiteral("unit.cfg"),
                                         QStringLiteral("Unit ID 247"), QDate(2026, 3, 4));
    ASSERT_TRUE(print.writePdf(path("diff.pdf"), QStringLiteral("diff"), &error)) << error.toStdString();
    const QString page = pdfPages(path("diff.pdf")).value(0).simplified();
    for (const char *text : {"Configuration Differences", "Date: 03/04/2026", "Field unit.cfg Unit ID 247",
                             "CfgMiscInfo.Tag FT-101 FT-202", "Page: 1 of 1"})
        EXPECT_TRUE(page.contains(QLatin1String(text))) << text << " in " << page.toStdString();

    write("short.bin", QByteArray(10, '\0'));
    EXPECT_FALSE(window.compareWithUnit(path("short.bin")));
    EXPECT_TRUE(prompter.lastText().contains(path("short.bin")));
    EXPECT_EQ(table->rowCount(), 1); // what was shown stays
}
