#include "SimFixture.h"

#include "Catalogue.h"
#include "ConfigurationTransfer.h"
#include "DefaultImage.h"

#include <QStringList>

namespace {

// Every register its own value, so a block read to the wrong place shows.
QByteArray patternImage()
{
    QByteArray bytes(RegisterImage::ByteSize, '\0');
    for (int r = 0; r < RegisterImage::RegisterCount; ++r) {
        bytes[2 * r] = char(r >> 8);
        bytes[2 * r + 1] = char(r * 7 + 3);
    }
    return bytes;
}

class TransferTest : public SimFixture {
protected:
    ConfigurationTransfer::Result run(bool upload)
    {
        ConfigurationTransfer transfer(link, session);
        QObject::connect(&transfer, &ConfigurationTransfer::progress, [this](const QString &text, int step, int steps) {
            statuses << text;
            lastSteps = steps;
            if (onStep)
                onStep(step);
        });
        return upload ? transfer.upload() : transfer.download();
    }

    QStringList statuses;
    int lastSteps = 0;
    std::function<void(int)> onStep;
};

TEST_F(TransferTest, UploadFillsEveryBlockAndLeavesTheUnblockedRegisters)
{
    ASSERT_TRUE(unitImage().setBytes(patternImage()));
    const QByteArray before = link.image().bytes();

    const auto result = run(true);

    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.blocksDone, Catalogue::BlockCount);
    for (const BlockDef &block : Catalogue::blocks())
        EXPECT_EQ(link.image().read(block.startRegister, block.bytes), unitImage().read(block.startRegister, block.bytes))
            << block.qName().toStdString();
    // Registers 2143..2291 belong to no block and keep what the image held.
    EXPECT_EQ(link.image().read(2143, 2 * (2292 - 2143)), before.mid(2 * 2143, 2 * (2292 - 2143)));
    ASSERT_EQ(statuses.size(), Catalogue::BlockCount + 1);
    EXPECT_EQ(statuses.first(), QStringLiteral("Retrieving 1 of 128 registers: DataOut"));
    EXPECT_EQ(statuses[108], QStringLiteral("Retrieving 109 of 128 registers: SysMgr"));
    EXPECT_EQ(statuses.last(), QString());   // cleared at the end
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(TransferTest, DownloadedEditComesBackOnUpload)
{
    ASSERT_TRUE(link.image().setBytes(unitImage().bytes()));
    const auto cutoff = Catalogue::fieldByKey(u"CfgBatch.Cutoff");
    const auto tag = Catalogue::fieldByKey(u"CfgMiscInfo.Tag");
    ASSERT_TRUE(cutoff && tag);
    link.image().setF64At(cutoff->byteOffset, 12.625);
    link.image().setTextAt(tag->byteOffset, tag->byteCount, QStringLiteral("PUMP-7"));
    // What the PC holds for SysMgr must never reach the transmitter.
    const QByteArray unitSysMgr = unitImage().read(2368, 66);
    link.image().store(2368, QByteArray(66, '\x55'));

    const auto result = run(false);

    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.summary, QStringLiteral("Ostrel finished reading configuration..."));
    EXPECT_EQ(statuses.last(), result.summary);
    EXPECT_TRUE(statuses.contains(QStringLiteral("Updating 109 of 128 registers: SysMgr")));
    EXPECT_EQ(unitImage().read(2368, 66), unitSysMgr);
    EXPECT_FALSE(wroteRegister(2368));
    EXPECT_FALSE(wroteRegister(2399));
    EXPECT_NE(std::find(writes.begin(), writes.end(), std::make_pair(2430, 33)), writes.end());
    EXPECT_TRUE(wroteRegister(2462));
    // The largest block goes in one request.
    EXPECT_NE(std::find(writes.begin(), writes.end(), std::make_pair(0, 122)), writes.end());
    EXPECT_EQ(unitImage().f64At(cutoff->byteOffset), 12.625);

    link.image().setBytes(QByteArray(RegisterImage::ByteSize, '\0'));
    statuses.clear();
    EXPECT_TRUE(run(true).ok());
    EXPECT_EQ(link.image().f64At(cutoff->byteOffset), 12.625);
    EXPECT_EQ(link.image().textAt(tag->byteOffset, tag->byteCount), QStringLiteral("PUMP-7"));
}

TEST_F(TransferTest, ReReadCoilsInOrderWithCommProtocolOnlyForOtherModels)
{
    ASSERT_TRUE(link.image().setBytes(unitImage().bytes()));
    const std::vector<int> ostrel{63, 64, 49, 50, 48, 51};
    std::vector<int> other = ostrel;
    other.push_back(52);

    for (const QString &model : {QStringLiteral("Ostrel"), QStringLiteral("KRM410"), QString()}) {
        session.setDeviceModel(model);
        coilsOn.clear();
        statuses.clear();
        EXPECT_TRUE(run(false).ok()) << model.toStdString();
        EXPECT_EQ(coilsOn, model == QLatin1String("Ostrel") ? ostrel : other) << model.toStdString();
        EXPECT_EQ(lastSteps, Catalogue::BlockCount + int(coilsOn.size()));
        EXPECT_TRUE(statuses.contains(QStringLiteral("Telling Ostrel to re-read Density config(1/7)...")));
        EXPECT_EQ(statuses.contains(QStringLiteral("Tell Unit to re-read Comm Protocol cnfig(7/7)...")),
                  model != QLatin1String("Ostrel"));
    }
}

TEST_F(TransferTest, RefusedBlocksAreCountedNotReportedAsSuccess)
{
    ASSERT_TRUE(link.image().setBytes(unitImage().bytes()));
    sim::Faults faults;
    faults.exceptionCode = 2;     // CfgMiscInfo (578..634) and CfgMiscInfo2 (635..679)
    faults.exceptionFirst = 600;
    faults.exceptionLast = 640;
    simulator.transmitter()->setFaults(faults);

    const auto download = run(false);
    EXPECT_EQ(download.failedBlocks, 2);
    EXPECT_FALSE(download.ok());
    EXPECT_FALSE(statuses.contains(QStringLiteral("Ostrel finished reading configuration...")));
    EXPECT_EQ(download.summary, QStringLiteral("Download incomplete: 2 blocks of 128 could not be written."));
    // One box for the first failure, and the re-read commands are still sent.
    EXPECT_EQ(prompter.texts().count(QStringLiteral("Cannot communicate with Ostrel unit")), 1);
    EXPECT_EQ(coilsOn.size(), 6u);

    const QByteArray before = link.image().read(578, 114);
    unitImage().store(578, QByteArray(114, 'x'));
    const auto upload = run(true);
    EXPECT_EQ(upload.failedBlocks, 2);
    EXPECT_EQ(link.image().read(578, 114), before);   // a failed read leaves the image
    EXPECT_TRUE(upload.summary.contains(QLatin1String("2 blocks of 128 could not be read")));
}

TEST_F(TransferTest, UnconfirmedReReadCommandIsReportedAndLeavesNoAbort)
{
    ASSERT_TRUE(link.image().setBytes(unitImage().bytes()));
    sim::Faults faults;
    faults.stuckBusyCoil = 50;
    simulator.transmitter()->setFaults(faults);

    const auto result = run(false);
    EXPECT_EQ(result.failedBlocks, 0);
    EXPECT_EQ(result.failedCoils, 1);
    EXPECT_EQ(result.summary, QStringLiteral("Download incomplete: 1 re-read command was not confirmed."));
    EXPECT_EQ(coilsOn.size(), 6u);   // the later commands still go out
    EXPECT_FALSE(session.abortRequested());
}

TEST_F(TransferTest, EscapeStopsBetweenBlocksAndSaysHowFar)
{
    ASSERT_TRUE(unitImage().setBytes(patternImage()));
    // Escape pressed once, while block 10 is being read.
    onStep = [this, pressed = false](int step) mutable {
        if (step == 10 && !pressed)
            session.setAbort(pressed = true);
    };
    const auto result = run(true);

    EXPECT_TRUE(result.aborted);
    EXPECT_EQ(result.blocksDone, 10);
    EXPECT_EQ(result.summary, QStringLiteral("Upload aborted after 10 of 128 blocks."));
    EXPECT_EQ(statuses.last(), result.summary);
    EXPECT_FALSE(session.abortRequested());
    const BlockDef *done = Catalogue::block(9);
    const BlockDef *skipped = Catalogue::block(10);
    EXPECT_EQ(link.image().read(done->startRegister, done->bytes), unitImage().read(done->startRegister, done->bytes));
    EXPECT_EQ(link.image().read(skipped->startRegister, skipped->bytes), QByteArray(skipped->bytes, '\0'));

    // A download stopped the same way sends no re-read command.
    ASSERT_TRUE(link.image().setBytes(unitImage().bytes()));
    statuses.clear();
    onStep = [this, pressed = false](int step) mutable {
        if (step == 50 && !pressed)
            session.setAbort(pressed = true);
    };
    const auto download = run(false);
    EXPECT_EQ(download.summary, QStringLiteral("Download aborted after 50 of 128 blocks."));
    EXPECT_TRUE(coilsOn.empty());
}

TEST_F(TransferTest, PortClosingMidwayEndsTheTransfer)
{
    onStep = [this](int step) {
        if (step == 3)
            link.closePort();
    };
    const auto result = run(true);
    EXPECT_TRUE(result.portLost);
    EXPECT_EQ(result.summary, QStringLiteral("Upload stopped, the port closed, after 3 of 128 blocks."));
}

TEST_F(TransferTest, OneTransferAtATime)
{
    bool sawRunning = false;
    ConfigurationTransfer::Result nested;
    onStep = [&](int step) {
        if (step != 5)
            return;
        sawRunning = ConfigurationTransfer::running();
        nested = ConfigurationTransfer(link, session).download();
    };
    const QByteArray before = unitImage().bytes();
    run(true);
    EXPECT_TRUE(sawRunning);
    EXPECT_TRUE(nested.refused);
    EXPECT_FALSE(nested.ok());
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(unitImage().bytes(), before);
    EXPECT_FALSE(ConfigurationTransfer::running());
}

}  // namespace
