#include "Catalogue.h"
#include "CliReporter.h"
#include "CliRunner.h"
#include "CommandTable.h"
#include "ConfigurationCliCommands.h"
#include "ConfigurationFiles.h"
#include "PdfText.h"
#include "SimFixture.h"

#include <QDir>
#include <QFile>

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class CliTest : public ::testing::Test, protected SimulatedUnit {
protected:
    void SetUp() override
    {
        registerConfigurationCommands(table);
        QObject::connect(simulator.device(), &sim::SimDevice::registersWritten,
                         [this](int first, int) { written << first; });
    }
    int cli(const QStringList &args, CliReporter *reporter = nullptr)
    {
        out.clear();
        err.clear();
        QTextStream o(&out), e(&err);
        return runCli(QStringList{QStringLiteral("tarvine-cli"), QStringLiteral("--port"), QStringLiteral("/sim")} + args,
                      serial, table, o, e, reporter);
    }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    RegisterImage &unit() { return unitImage(); }

    QTemporaryDir dir;
    CommandTable table;
    QString out, err;
    QList<int> written;
};

TEST_F(CliTest, UploadEditDownloadAndReport)
{
    const auto cutoff = Catalogue::fieldByKey(u"CfgBatch.Cutoff");
    ASSERT_EQ(cli({QStringLiteral("upload"), path("unit.cfg")}), 0) << err.toStdString();
    ASSERT_EQ(cli({QStringLiteral("upload"), path("unit.bin")}), 0) << err.toStdString();
    QFile bin(path("unit.bin"));
    ASSERT_TRUE(bin.open(QIODevice::ReadOnly));
    const QByteArray image = bin.readAll();
    for (const BlockDef &block : Catalogue::blocks())
        EXPECT_EQ(image.mid(block.byteOffset(), block.bytes), unit().read(block.startRegister, block.bytes));

    QFile cfg(path("unit.cfg"));
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    QByteArray text = cfg.readAll();
    cfg.close();
    ASSERT_TRUE(text.contains("\r\nCfgBatch.Cutoff, 0\r\n"));
    text.replace("\r\nCfgBatch.Cutoff, 0\r\n", "\r\nCfgBatch.Cutoff, 7,5\r\n");
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cfg.write(text);
    cfg.close();

    EXPECT_EQ(cli({QStringLiteral("download"), path("unit.cfg")}), 0) << err.toStdString();
    EXPECT_EQ(out.trimmed(), QStringLiteral("Configuration written: 128 blocks; the unit re-read its configuration."));
    EXPECT_EQ(unit().f64At(cutoff->byteOffset), 7.5);
    EXPECT_FALSE(written.contains(2368));
    EXPECT_TRUE(written.contains(2430));

    EXPECT_EQ(cli({QStringLiteral("report"), path("unit.pdf")}), 0) << err.toStdString();
    const QStringList pages = pdfPages(path("unit.pdf"));
    ASSERT_GT(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QLatin1String("7.5")));
}

TEST_F(CliTest, BadFilesAndNamesSendNothing)
{
    EXPECT_EQ(cli({QStringLiteral("upload"), path("unit.txt")}), 2);
    EXPECT_EQ(cli({QStringLiteral("report"), path("unit.svg")}), 2);

    QFile bad(path("bad.cfg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    QStringList lines = ConfigurationFiles::textLines(unit());
    lines[0] = QStringLiteral("CfgBatch.Param, six");
    bad.write((lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")).toLatin1());
    bad.close();
    // A file that cannot be loaded is a failure, not a command-line error.
    EXPECT_EQ(cli({QStringLiteral("download"), path("bad.cfg")}), 1);
    EXPECT_TRUE(err.contains(QLatin1String("Row 1 (CfgBatch.Param)"))) << err.toStdString();

    QFile shortBin(path("short.bin"));
    ASSERT_TRUE(shortBin.open(QIODevice::WriteOnly));
    shortBin.write(QByteArray(100, '\0'));
    shortBin.close();
    EXPECT_EQ(cli({QStringLiteral("download"), path("short.bin")}), 1);
    EXPECT_TRUE(err.contains(QLatin1String("exactly 6,804 bytes"))) << err.toStdString();
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(serial.takeWritten().isEmpty());
}

// An output that cannot be written is found before the long reading, not after it.
TEST_F(CliTest, AnUnwritableOutputIsRefusedBeforeReading)
{
    EXPECT_EQ(cli({QStringLiteral("report"), path("no/such/dir/unit.pdf")}), 1);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.bin")));
    EXPECT_EQ(cli({QStringLiteral("upload"), path("folder.bin")}), 1);
    EXPECT_EQ(cli({QStringLiteral("upload"), path("no/such/dir/unit.cfg")}), 1);
    EXPECT_TRUE(err.contains(QLatin1String("Nothing was read from the unit"))) << err.toStdString();
    EXPECT_TRUE(serial.takeWritten().isEmpty());
}

// Cloning one meter's file onto another must not give it the first one's address:
// the unit keeps its own unit ID, framing, protocol and line unless --with-comm.
TEST_F(CliTest, DownloadKeepsTheUnitsCommSettingsUnlessAsked)
{
    ASSERT_EQ(cli({QStringLiteral("upload"), path("unit.bin")}), 0) << err.toStdString();
    QFile bin(path("unit.bin"));
    ASSERT_TRUE(bin.open(QIODevice::ReadWrite));
    QByteArray image = bin.readAll();
    image[2 * 2401] = char(5);      // unit ID 5
    image[2 * 2406] = char(8);      // 19200 baud
    bin.seek(0);
    bin.write(image);
    bin.close();

    EXPECT_EQ(cli({QStringLiteral("download"), path("unit.bin")}), 0) << err.toStdString();
    EXPECT_EQ(unit().u8At(2 * 2401), 247);
    EXPECT_EQ(unit().u8At(2 * 2406), 6);
    EXPECT_TRUE(err.contains(QLatin1String("Kept the unit's communication settings (unit ID 247, ASCII, 9600,N,8,1, "
                                           "protocol Modbus); the file's (unit ID 5, ASCII, 19200,N,8,1, protocol Modbus)")))
        << err.toStdString();

    image[2 * 2406] = char(6);
    ASSERT_TRUE(bin.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bin.write(image);
    bin.close();
    EXPECT_EQ(cli({QStringLiteral("download"), path("unit.bin"), QStringLiteral("--with-comm")}), 0) << err.toStdString();
    EXPECT_EQ(unit().u8At(2 * 2401), 5);
    EXPECT_FALSE(err.contains(QLatin1String("Kept")));
}

TEST_F(CliTest, AFailingTransferShowsTheFirstFailureAndACount)
{
    ASSERT_EQ(cli({QStringLiteral("upload"), path("unit.bin")}), 0) << err.toStdString();
    sim::Faults faults;
    faults.exceptionCode = 4;
    faults.exceptionLast = 2400; // the communication settings after it stay readable
    simulator.transmitter()->setFaults(faults);

    QString messages;
    QTextStream stream(&messages);
    CliReporter reporter(stream, false);
    Prompter::install(&reporter);
    const int status = cli({QStringLiteral("download"), path("unit.bin")}, &reporter);
    Prompter::install(nullptr);
    EXPECT_EQ(status, 1);
    const QStringList lines = messages.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << messages.toStdString();
    EXPECT_TRUE(lines[1].startsWith(QLatin1String("(")) && lines[1].endsWith(QLatin1String("further messages not shown)")))
        << messages.toStdString();
    EXPECT_TRUE(err.contains(QLatin1String("could not be written"))) << err.toStdString();
}

}  // namespace
