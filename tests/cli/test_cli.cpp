#include "CliRunner.h"
#include "CommandTable.h"
#include "FakeUnit.h"
#include "InstalledClock.h"
#include "LinkCommands.h"
#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "ScriptedSerialControl.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerLinkCommands(commands);
        serial.setResponder(unit.responder());
    }
    int run(const QStringList &args)
    {
        out.clear();
        err.clear();
        QTextStream o(&out);
        QTextStream e(&err);
        return runCli(QStringList{"tarvine-cli"} + args, serial, commands, o, e);
    }

    CommandTable commands;
    RecordingPrompter prompter;
    ScriptedSerialControl serial;
    FakeUnit unit{ModbusLink::Ascii, 247};
    QString out;
    QString err;
};

} // namespace

TEST_F(CliTest, ReadPrintsRegistersAsHexAndValues)
{
    unit.setReg(578, 0x4654);
    unit.setReg(579, 0xFFFF);
    EXPECT_EQ(run({"read", "578", "2"}), ExitOk);
    EXPECT_EQ(out, " 578  4654  18004\n 579  FFFF  65535\nbytes: 46 54 FF FF\n");
    EXPECT_EQ(serial.writes().value(0), ":F70302420002C0\r\n");
    EXPECT_FALSE(serial.isOpen());

    unit.framing = ModbusLink::Rtu;
    unit.unitId = 5;
    EXPECT_EQ(run({"--framing", "rtu", "--unit", "5", "--port", "/dev/ttyUSB0", "read", "0x242", "1"}), ExitOk);
    EXPECT_EQ(out.section('\n', 0, 0), " 578  4654  18004");
    EXPECT_EQ(serial.openedPort(), "/dev/ttyUSB0");
    EXPECT_EQ(unit.requests.back().toHex(), "050302420001");
}

TEST_F(CliTest, WriteAndCoilCommandsReachTheUnit)
{
    EXPECT_EQ(run({"write", "2401", "00F7"}), ExitOk);
    EXPECT_EQ(unit.reg(2401), 0x00F7);
    EXPECT_EQ(run({"coil", "82", "on"}), ExitOk);
    EXPECT_TRUE(unit.coil(82));
    unit.coils[3] = true;
    EXPECT_EQ(run({"coils", "0", "4"}), ExitOk);
    EXPECT_EQ(out, "    0  off\n    1  off\n    2  off\n    3  on\n");
    EXPECT_EQ(run({"coil", "82", "OFF"}), ExitOk);
    EXPECT_FALSE(unit.coil(82));
    // A command coil whose handshake finds the unit busy fails.
    unit.coils[81] = true;
    EXPECT_EQ(run({"coil", "48", "on"}), ExitFailed);
    EXPECT_TRUE(err.contains("did not report Ready"));
}

// Unit 0 broadcasts: a write goes out and succeeds without a reply; a read is refused.
TEST_F(CliTest, BroadcastWritesNeedNoReply)
{
    EXPECT_EQ(run({"--unit", "0", "write", "10", "0102"}), ExitOk) << err.toStdString();
    EXPECT_EQ(unit.reg(10), 0x0102);
    EXPECT_TRUE(err.contains("Broadcast sent")) << err.toStdString();
    EXPECT_EQ(run({"--unit", "0", "coil", "82", "on"}), ExitOk) << err.toStdString();
    EXPECT_TRUE(unit.coil(82));
    const qsizetype writes = serial.writes().size();
    EXPECT_EQ(run({"--unit", "0", "read", "0", "1"}), ExitUsage);
    EXPECT_EQ(serial.writes().size(), writes);
}

TEST_F(CliTest, FailuresGiveANonZeroStatusAndAMessage)
{
    unit.exception = 2;
    EXPECT_EQ(run({"read", "0", "1"}), ExitFailed);
    EXPECT_TRUE(err.contains("exception 2: Illegal Data Address")) << err.toStdString();
    EXPECT_EQ(run({"coil", "82", "on"}), ExitFailed);
    unit.exception = 0;

    serial.failNextOpen("/dev/ttyS0 does not exist");
    EXPECT_EQ(run({"read", "0", "1"}), ExitFailed);
    EXPECT_TRUE(err.startsWith("Open Com Port Error: Check unit, cabling, or /dev/ttyS0 does not exist"));

    // Silence: the no-response path closes the port and the command fails.
    InstalledClock clock;
    unit.silent = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { clock.advance(ModbusLink::NoResponseMs); }, Qt::QueuedConnection);
    EXPECT_EQ(run({"read", "0", "1"}), ExitFailed);
    EXPECT_TRUE(prompter.shown("No response from Unit\rClosing Comm Port"));
    EXPECT_TRUE(err.contains("No reply from unit 247 (ASCII, 9600,N,8,1 on port 1). Check the unit ID, framing and "
                             "line settings and the cabling, or look for the unit with: tarvine-cli --port 1 scan"))
        << err.toStdString();
}

TEST_F(CliTest, UsageErrorsSendNothing)
{
    const QList<QStringList> bad = {
        {},
        {"frobnicate"},
        {"read", "0"},
        {"read", "0", "123"},
        {"read", "3402", "1"},
        {"read", "3400", "4"},
        {"write", "3401", "00010002"},
        {"write", "0", QString(246 * 2, '0')},
        {"write", "0", "ABC"},
        {"write", "0", "00ZZ"},
        {"write", "0", "00"},
        {"coil", "82", "maybe"},
        {"--framing", "hdlc", "read", "0", "1"},
        {"--unit", "248", "read", "0", "1"},
        {"--data-bits", "9", "read", "0", "1"},
        {"--bogus", "read", "0", "1"},
    };
    for (const QStringList &args : bad)
        EXPECT_EQ(run(args), ExitUsage) << args.join(' ').toStdString();
    EXPECT_TRUE(serial.writes().isEmpty());
    EXPECT_EQ(serial.openCount(), 0);

    EXPECT_EQ(run({"--help"}), ExitOk);
    for (const char *name : {"read START COUNT", "write START HEXBYTES", "coils START COUNT", "coil N on|off",
                             "Default: 1 = /dev/ttyS0 (environment: TARVINE_PORT)", "Default: 247"})
        EXPECT_TRUE(out.simplified().contains(name)) << name;
}

// A script sets the port and the other options once, in the environment; the
// command line still wins.
TEST_F(CliTest, OptionsComeFromTheEnvironment)
{
    qputenv("TARVINE_PORT", "/dev/ttyUSB7");
    qputenv("TARVINE_UNIT", "5");
    unit.unitId = 5;
    EXPECT_EQ(run({"read", "0", "1"}), ExitOk) << err.toStdString();
    EXPECT_EQ(serial.openedPort(), "/dev/ttyUSB7");
    EXPECT_EQ(run({"--port", "/dev/ttyS3", "read", "0", "1"}), ExitOk);
    EXPECT_EQ(serial.openedPort(), "/dev/ttyS3");
    qunsetenv("TARVINE_PORT");
    qunsetenv("TARVINE_UNIT");
}

// --trace: one line per frame with its time, direction, request and outcome.
TEST_F(CliTest, TraceShowsEveryFrameAndHowItEnded)
{
    InstalledClock clock;
    const QByteArray corrupt = ":F703020000FF\r\n";
    const QByteArray stray = FakeUnit::wire(QByteArray::fromHex("F7030400000000"), 0);
    struct Case {
        std::function<void()> arrange;
        QString expected;
    };
    const QString request = QStringLiteral("unit 247 fn 3 addr 0 count 1");
    const QList<Case> cases = {
        {[] {}, "RX " + request + " reply: 3A 46 37 30 33 30 32"},
        {[&] { unit.exception = 2; }, "RX " + request + " exception 2 (Illegal Data Address): 3A"},
        {[&] { serial.setResponder([&](const QByteArray &) { return QList<QByteArray>{corrupt}; }); },
         "RX " + request + " checksum error: 3A 46 37"},
        {[&] {
             serial.setResponder([&](const QByteArray &w) { return QList<QByteArray>{stray} + unit.respond(w); });
         },
         "RX stray input: 3A 46 37 30 33 30 34"},
        {[&] {
             unit.silent = true;
             QMetaObject::invokeMethod(
                 QCoreApplication::instance(), [&] { clock.advance(ModbusLink::NoResponseMs); }, Qt::QueuedConnection);
         },
         "-- " + request + " no reply"},
    };
    for (const Case &c : cases) {
        serial.setResponder(unit.responder());
        unit.exception = 0;
        unit.silent = false;
        c.arrange();
        run({"--trace", "read", "0", "1"});
        EXPECT_TRUE(err.contains(c.expected)) << err.toStdString();
        EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d TX "
                                       + QRegularExpression::escape(request) + " sent: 3A 46 37 30 33")
                        .match(err)
                        .hasMatch())
            << err.toStdString();
    }
    // To a file instead, appended.
    serial.setResponder(unit.responder());
    unit.silent = false;
    QTemporaryDir dir;
    const QString file = dir.filePath("trace.log");
    EXPECT_EQ(run({"--trace", file, "read", "0", "1"}), ExitOk);
    EXPECT_EQ(run({"read", "0", "1", "--trace=" + file}), ExitOk);
    QFile log(file);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count(" sent: "), 2);
    EXPECT_FALSE(err.contains(" sent: "));
}
