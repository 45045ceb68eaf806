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
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <string_view>

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

namespace {

class CompareWindowTest : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        QString error;
        ASSERT_TRUE(ConfigurationFiles::writeText(dir.filePath(QStringLiteral("unit.cfg")), unitImage(), &error));
        window.show();
    }
    template <class T> T *child(const char *name) { return window.findChild<T *>(QLatin1String(name)); }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    // Ticks a row's field with the space bar, as the keyboard does.
    void tick(const QString &key)
    {
        auto *table = child<QTableWidget>("tblDifferences");
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == key) {
                table->setFocus();
                table->setCurrentCell(row, 0);
                QTest::keyClick(table, Qt::Key_Space);
                ASSERT_EQ(table->item(row, 0)->checkState(), Qt::Checked) << key.toStdString();
                return;
            }
        }
        FAIL() << key.toStdString() << " is not listed";
    }
    // The unit's set-up differs from the file in two fields of one block and in its tag.
    void changeUnit()
    {
        unitImage().setF64At(Catalogue::fieldByKey(u"CfgBatch.Cutoff")->byteOffset, 7.5);
        unitImage().setF64At(Catalogue::fieldByKey(u"CfgBatch.Trickle")->byteOffset, 2.25);
        unitImage().setTextAt(Catalogue::fieldByKey(u"CfgMiscInfo.Tag")->byteOffset, 20, QStringLiteral("FT-202"));
        ASSERT_TRUE(window.compareWithUnit(dir.filePath(QStringLiteral("unit.cfg"))));
        ASSERT_EQ(window.differences().size(), 3);
    }
    // The unit's image with the named fields as the file has them.
    QByteArray withFileValues(const QByteArray &unit, const QStringList &keys)
    {
        RegisterImage file;
        QString error;
        EXPECT_TRUE(ConfigurationComparison::loadFile(dir.filePath(QStringLiteral("unit.cfg")), file, &error));
        QByteArray expected = unit;
        for (const QString &key : keys) {
            const auto f = Catalogue::fieldByKey(key);
            expected.replace(f->byteOffset, f->byteCount, file.bytes().mid(f->byteOffset, f->byteCount));
        }
        return expected;
    }

    QTemporaryDir dir;
    TfrmCompareConfiguration window{link};
};

} // namespace

TEST_F(CompareWindowTest, ListsPrintsAndSavesWhatDiffers)
{
    unitImage().setTextAt(2 * 578, 20, QStringLiteral("FT-202"));
    ASSERT_TRUE(window.compareWithUnit(dir.filePath(QStringLiteral("unit.cfg"))));
    auto *table = child<QTableWidget>("tblDifferences");
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("CfgMiscInfo.Tag"));
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("FT-202"));

    PrintObject print;
    QString error;
    ConfigurationComparison::buildReport(print, window.differences(), QStringLiteral("unit.cfg"),
                                         QStringLiteral("Unit ID 247"), QDate(2026, 3, 4));
    ASSERT_TRUE(print.writePdf(dir.filePath("diff.pdf"), QStringLiteral("diff"), &error)) << error.toStdString();
    const QString page = pdfPages(dir.filePath("diff.pdf")).value(0).simplified();
    for (const char *text : {"Configuration Differences", "Date: 03/04/2026", "Field unit.cfg Unit ID 247",
                             "CfgMiscInfo.Tag FT-101 FT-202", "Page: 1 of 1"})
        EXPECT_TRUE(page.contains(QLatin1String(text))) << text << " in " << page.toStdString();

    // Kept as CSV; a name typed without .csv gets it.
    prompter.fileNames << dir.filePath("diff");
    click("btnSave");
    QFile csv(dir.filePath("diff.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(), QByteArray("Field,File,Unit\nCfgMiscInfo.Tag,FT-101,FT-202\n"));

    QFile shortBin(dir.filePath("short.bin"));
    ASSERT_TRUE(shortBin.open(QIODevice::WriteOnly));
    shortBin.write(QByteArray(10, '\0'));
    shortBin.close();
    EXPECT_FALSE(window.compareWithUnit(dir.filePath("short.bin")));
    EXPECT_TRUE(prompter.lastText().contains(dir.filePath("short.bin")));
    EXPECT_EQ(table->rowCount(), 1); // what was shown stays
}

TEST_F(CompareWindowTest, WriteSelectedWritesExactlyTheTickedFieldsAtProgrammerLevel)
{
    changeUnit();
    tick(QStringLiteral("CfgBatch.Cutoff"));
    tick(QStringLiteral("CfgMiscInfo.Tag"));
    const QByteArray before = unitImage().bytes();

    session.setAccessLevel(Session::Viewer);
    click("btnWrite");
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("Programmer"))) << prompter.lastText().toStdString();
    EXPECT_TRUE(writes.empty());

    session.setAccessLevel(Session::Programmer);
    prompter.answers << Prompter::IdNo;
    click("btnWrite");
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("Write 2 field(s)"))) << prompter.lastText().toStdString();
    EXPECT_TRUE(writes.empty());

    click("btnWrite");
    // Then the transmitter re-reads its configuration, as after a download, its line settings aside.
    EXPECT_EQ(coilsOn, (std::vector<int>{63, 64, 49, 50, 48, 51}));
    // Every byte but the ticked fields' is as it was, Trickle in the same block included.
    EXPECT_EQ(unitImage().bytes(), withFileValues(before, {"CfgBatch.Cutoff", "CfgMiscInfo.Tag"}));
    // Compared again: only the field not ticked still differs.
    ASSERT_EQ(window.differences().size(), 1);
    EXPECT_EQ(window.differences()[0].key, QStringLiteral("CfgBatch.Trickle"));
    EXPECT_TRUE(child<QLabel>("lblSummary")->text().startsWith(QStringLiteral("2 field(s) written.")));
}

TEST_F(CompareWindowTest, ARefusedWriteSaysWhichFieldsReachedTheUnit)
{
    changeUnit();
    tick(QStringLiteral("CfgBatch.Cutoff"));
    tick(QStringLiteral("CfgMiscInfo.Tag"));
    const QByteArray before = unitImage().bytes();
    simulator.transmitter()->setFaults({.exceptionCode = 4, .exceptionFirst = 578, .exceptionLast = 578});
    click("btnWrite");
    EXPECT_EQ(unitImage().bytes(), withFileValues(before, {"CfgBatch.Cutoff"}));
    const QStringList texts = prompter.texts();
    const auto report = std::find_if(texts.begin(), texts.end(),
                                     [](const QString &t) { return t.contains(QStringLiteral("stopped at")); });
    ASSERT_NE(report, texts.end()) << texts.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(report->contains(QStringLiteral("CfgMiscInfo")));
    EXPECT_TRUE(report->contains(QStringLiteral("Written to the transmitter: CfgBatch.Cutoff.")));
    EXPECT_TRUE(report->contains(QStringLiteral("Not written (the transmitter keeps its own value): CfgMiscInfo.Tag.")));
    // The unit cannot be read again; the list still says what it holds.
    QStringList keys;
    for (const auto &d : window.differences())
        keys << d.key;
    EXPECT_EQ(keys, QStringList({"CfgBatch.Trickle", "CfgMiscInfo.Tag"}));
    EXPECT_TRUE(child<QLabel>("lblSummary")->text().startsWith(QStringLiteral("1 of 2 field(s) written.")));
}

TEST_F(CompareWindowTest, ReadingShowsItsProgressAndEscapeOrCancelStopsIt)
{
    auto *bar = child<QProgressBar>("barProgress");
    QList<int> steps;
    const char *stopWith = nullptr;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        steps << value;
        if (value != 5 || !stopWith)
            return;
        const QLatin1String stop(stopWith);
        if (stop == QLatin1String("Escape"))
            QTest::keyClick(&window, Qt::Key_Escape);
        else if (stop == QLatin1String("close"))
            window.close();
        else
            click(stopWith);
        // The window is still there while the reading returns.
        EXPECT_TRUE(window.isVisible()) << stopWith;
    });
    for (const char *stop : {"Escape", "btnCancel", "close"}) {
        steps.clear();
        stopWith = stop;
        EXPECT_FALSE(window.compareWithUnit(dir.filePath(QStringLiteral("unit.cfg")))) << stop;
        EXPECT_EQ(steps.value(0), 1) << stop;
        EXPECT_TRUE(steps.contains(5));
        EXPECT_LT(steps.last(), 7) << stop;
        EXPECT_TRUE(child<QLabel>("lblProgress")->text().contains(QStringLiteral("stopped"))) << stop;
        // Escape and Cancel stop the reading only; the close box ends the window once it has.
        EXPECT_EQ(window.isVisible(), stop != std::string_view("close")) << stop;
    }
    window.show();
    stopWith = nullptr;
    steps.clear();
    click("btnCompare");
    EXPECT_EQ(steps.last(), bar->maximum());
    EXPECT_TRUE(child<QLabel>("lblProgress")->text().contains(QStringLiteral("was read")));
    EXPECT_FALSE(session.abortRequested());
}
