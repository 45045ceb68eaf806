#include "Bench.h"
#include "Catalogue.h"
#include "CliRunner.h"
#include "CommandTable.h"
#include "DiscoveryCommands.h"
#include "InstalledClock.h"
#include "KeysCommand.h"
#include "WatchCommand.h"
#include "SerialPortList.h"
#include "PtySimulator.h"
#include "QtSerialControl.h"
#include "SimDevice.h"
#include "TcpSerialControl.h"
#include "TcpSimulator.h"
#include "UnitScanner.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int Ascii = ModbusLink::Ascii;
constexpr int Rtu = ModbusLink::Rtu;
constexpr int Tcp = ModbusLink::Tcp;
const QString DefaultTag = QStringLiteral("FT-101");

ScanPlan smallPlan()
{
    ScanPlan plan;
    plan.bauds = {9600, 19200};
    plan.unitIds = {1, 5, 200, 247};
    plan.replyMarginMs = 10;
    return plan;
}

} // namespace

// 247 and 1 at every rate, framing and parity first (N, E, O with 8 bits, then 7E1
// and 7O1 in ASCII); then every other ID, first where something answered.
TEST(UnitScanner, TriesTheLikelyUnitIdsAtEverySettingFirst)
{
    using P = UnitScanner::Probe;
    ScanPlan plan;
    plan.bauds = {9600, 115200};
    const QList<P> probes = UnitScanner::probeOrder(plan);
    ASSERT_EQ(probes.size(), 2 * (5 + 3) * 247);
    EXPECT_EQ(probes.mid(0, 5), (QList<P>{{Ascii, 9600, 247, "N,8,1"}, {Ascii, 9600, 1, "N,8,1"}, {Ascii, 9600, 247, "E,8,1"},
                                          {Ascii, 9600, 1, "E,8,1"}, {Ascii, 9600, 247, "O,8,1"}}));
    EXPECT_EQ(probes.mid(6, 5), (QList<P>{{Ascii, 9600, 247, "E,7,1"}, {Ascii, 9600, 1, "E,7,1"}, {Ascii, 9600, 247, "O,7,1"},
                                          {Ascii, 9600, 1, "O,7,1"}, {Rtu, 9600, 247, "N,8,1"}}));
    const int likely = 2 * 8 * 2;
    EXPECT_EQ(probes[likely - 1], (P{Rtu, 115200, 1, "O,8,1"}));
    EXPECT_EQ(probes[likely], (P{Ascii, 9600, 2, "N,8,1"}));
    EXPECT_EQ(probes.last(), (P{Rtu, 115200, 246, "O,8,1"}));

    const QList<P> reordered = UnitScanner::probeOrder(plan, {{Rtu, 115200, 1, "E,8,1"}});
    EXPECT_EQ(reordered.mid(0, likely), probes.mid(0, likely));
    EXPECT_EQ(reordered[likely], (P{Rtu, 115200, 2, "E,8,1"}));
    EXPECT_EQ(reordered[likely + 245], (P{Ascii, 9600, 2, "N,8,1"})) << "IDs 2..246 there first";
    EXPECT_EQ(reordered.size(), probes.size());

    plan.parities = {'E'};
    plan.dataBits = {8};
    plan.stopBits = {1, 2};
    EXPECT_EQ(UnitScanner::shapesFor(plan, Ascii), (QStringList{"E,8,1", "E,8,2"}));
    plan.dataBits = {7};
    EXPECT_TRUE(UnitScanner::shapesFor(plan, Rtu).isEmpty()) << "RTU needs 8 data bits";

    // A network port: the framings only, Modbus TCP first, and no line.
    ScanPlan network;
    network.network = true;
    const QList<P> overTcp = UnitScanner::probeOrder(network);
    ASSERT_EQ(overTcp.size(), 3 * 247);
    EXPECT_EQ(overTcp.mid(0, 7), (QList<P>{{Tcp, 0, 247, {}}, {Tcp, 0, 1, {}}, {Rtu, 0, 247, {}}, {Rtu, 0, 1, {}},
                                           {Ascii, 0, 247, {}}, {Ascii, 0, 1, {}}, {Tcp, 0, 2, {}}}));
}

TEST(UnitScanner, FindsTheUnitAtItsSettingsAndGivesTheLinkBack)
{
    struct Case {
        int framing, baud, unitId;
        bool linkOpen;
        char parity;
    };
    for (const Case &c : {Case{Ascii, 9600, 247, false, 'N'}, Case{Rtu, 9600, 247, true, 'E'}, Case{Rtu, 19200, 5, true, 'O'},
                          Case{Ascii, 19200, 200, false, 'N'}}) {
        SCOPED_TRACE(testing::Message() << c.framing << " " << c.baud << " " << c.unitId << " " << c.parity);
        Bench bench(c.framing, c.baud, c.unitId, false, c.parity);
        if (c.linkOpen) {
            ASSERT_TRUE(bench.link->openPort());
        }
        const CommSettings before = bench.link->settings();
        const QByteArray imageBefore = bench.link->image().bytes();
        UnitScanner scanner(*bench.link);
        ScanPlan plan = smallPlan();
        plan.stopAtFirst = true;
        int longestRead = 0; // registers, by the link identifying the unit
        QObject::connect(bench.link.get(), &ModbusLink::traffic, [&](const LinkTraffic &t) {
            if (t.kind == LinkTraffic::Sent && t.function == 3)
                longestRead = std::max(longestRead, t.count);
        });
        const QList<FoundUnit> found = scanner.run(plan);
        EXPECT_EQ(longestRead, 1) << "the model register alone: on a slow line more takes seconds";
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found[0].unitId, c.unitId);
        EXPECT_EQ(found[0].framing, c.framing);
        EXPECT_EQ(found[0].lineSettings, QStringLiteral("%1,%2,8,1").arg(c.baud).arg(QLatin1Char(c.parity)));
        EXPECT_TRUE(found[0].alsoAnsweredAt.isEmpty());
        EXPECT_EQ(found[0].model, QStringLiteral("Ostrel"));
        EXPECT_EQ(found[0].tag, DefaultTag);
        EXPECT_EQ(found[0].exception, 0);
        EXPECT_EQ(bench.link->portOpen(), c.linkOpen);
        EXPECT_TRUE(bench.link->settings() == before);
        EXPECT_EQ(bench.serial->settings(), before.settings);
        EXPECT_EQ(bench.link->image().bytes(), imageBefore);
        EXPECT_TRUE(bench.prompter.messages.isEmpty());
    }
}

TEST(UnitScanner, ASilentLineFindsNothingAndLeavesThePortAsItWas)
{
    Bench bench(Ascii, 9600, 247, /*silent=*/true);
    ASSERT_TRUE(bench.link->openPort());
    UnitScanner scanner(*bench.link);
    ScanPlan plan = smallPlan();
    plan.replyMarginMs = 5;
    int lastDone = 0;
    QObject::connect(&scanner, &UnitScanner::progress, [&](int done, int total, const QString &) {
        EXPECT_EQ(total, 2 * 8 * 4);
        lastDone = done;
    });
    EXPECT_TRUE(scanner.run(plan).isEmpty());
    EXPECT_EQ(lastDone, 2 * 8 * 4);
    EXPECT_FALSE(scanner.wasStopped());
    EXPECT_TRUE(bench.link->portOpen());
    EXPECT_EQ(bench.serial->settings(), QStringLiteral("9600,N,8,1"));
    // The link talks again at once: the unit is only silent.
    bench.simulator->transmitter()->setFaults({});
    EXPECT_NE(bench.link->Read_Regs(578, 20), 0);
}

TEST(SerialPortList, UsbAdaptersFirstWithTheirStableNames)
{
    QTemporaryDir byId;
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/ttyUSB1"), byId.filePath(QStringLiteral("usb-FTDI_FT232R_A1-port0"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/ttyS10"), byId.filePath(QStringLiteral("pci-uart"))));
    QList<SerialPortEntry> ports(3);
    ports[0].path = QStringLiteral("/dev/ttyS10");
    ports[1].path = QStringLiteral("/dev/ttyS2");
    ports[2].path = QStringLiteral("/dev/ttyUSB1");
    const QList<SerialPortEntry> entries = SerialPortList::arrange(ports, byId.path());
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].path, QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(entries[0].stableName, byId.filePath(QStringLiteral("usb-FTDI_FT232R_A1-port0")));
    EXPECT_EQ(entries[1].path, QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(entries[1].stableName, QString());
    EXPECT_EQ(entries[2].path, QStringLiteral("/dev/ttyS10"));
    EXPECT_EQ(entries[2].stableName, byId.filePath(QStringLiteral("pci-uart")));
}

namespace {

// tarvine-cli with the commands of this folder, on a port control or on the bench's port.
int cli(SerialControl &port, const QStringList &args, QString *out, QString *err)
{
    CommandTable table;
    registerDiscoveryCommands(table);
    registerWatchCommand(table);
    registerKeysCommand(table);
    out->clear();
    err->clear();
    QTextStream o(out), e(err);
    return runCli(QStringList{QStringLiteral("tarvine-cli")} + args, port, table, o, e);
}

int cli(Bench &bench, const QStringList &args, QString *out, QString *err)
{
    return cli(*bench.serial, QStringList{QStringLiteral("--port"), QStringLiteral("/sim")} + args, out, err);
}

} // namespace

TEST(ScanCommand, PrintsEachUnitAndHowToTalkToIt)
{
    Bench bench(Rtu, 19200, 5);
    QString out, err;
    EXPECT_EQ(cli(bench, {"scan", "baud=9600,19200", "parity=N", "unit=1-5", "timeout=30"}, &out, &err), ExitOk) << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("5  rtu  19200,N,8,1  Ostrel  FT-101\n"));
    EXPECT_TRUE(err.contains(QStringLiteral("--port /sim --baud 19200 --parity N --data-bits 8 --stop-bits 1 "
                                            "--framing rtu --unit 5")))
        << err.toStdString();
    EXPECT_FALSE(bench.serial->isOpen());

    EXPECT_EQ(cli(bench, {"scan", "baud=9600", "framing=ascii", "unit=5", "timeout=5"}, &out, &err), ExitFailed);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(err.startsWith(QStringLiteral("No unit answered on /sim at any framing, rate and parity tried.")))
        << err.toStdString();

    for (const char *bad : {"unit=0", "unit=9-3", "framing=hdlc", "baud=fast", "speed=1"})
        EXPECT_EQ(cli(bench, {"scan", QString::fromLatin1(bad)}, &out, &err), ExitUsage) << bad;
}

// On a network port the scan varies only the framing (Modbus TCP, then RTU and ASCII
// frames carried as they are) and the unit ID; a gateway's "target did not answer" is no unit.
TEST(ScanCommand, OnANetworkPortOnlyFramingAndUnitIdVary)
{
    struct Case {
        bool mbap;
        int framing, unitId;
        const char *gatewayException; // the unit's probe answered with this, as a gateway does
        const char *found;            // framing word it is found in; nullptr: nothing found
        bool csv;
        QString out;
    };
    const Case cases[] = {
        {true, Rtu, 247, nullptr, "tcp", false, "247  tcp  Ostrel  FT-101\n"},
        {false, Rtu, 17, nullptr, "rtu", false, "17  rtu  Ostrel  FT-101\n"},
        {false, Ascii, 5, nullptr, "ascii", true, "unit,framing,line,model,tag,also_answered_at\n5,ascii,,Ostrel,FT-101,\n"},
        {true, Rtu, 247, "11:578-587", nullptr, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.out.toStdString());
        sim::SimOptions o = sim::SimOptions::immediate();
        o.comm.framing = c.framing;
        o.comm.unitId = c.unitId;
        o.mbap = c.mbap;
        sim::Simulator simulator(o);
        sim::Faults faults;
        if (c.gatewayException)
            faults.setException(QString::fromLatin1(c.gatewayException));
        simulator.transmitter()->setFaults(faults);
        sim::TcpSimulator server(simulator.transmitter());
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        TcpSerialControl tcp;
        QString out, err;
        QStringList args{"--port", server.address(), "--network-allowance", "0", "scan", "unit=1,5,17,247", "timeout=100"};
        if (c.csv)
            args << "csv";
        EXPECT_EQ(cli(tcp, args, &out, &err), c.found ? ExitOk : ExitFailed) << err.toStdString();
        EXPECT_EQ(out, c.out);
        const QString hint = c.found ? QStringLiteral("--port %1 --framing %2 --unit %3").arg(server.address(), c.found).arg(c.unitId)
                                     : QStringLiteral("at any framing tried");
        EXPECT_TRUE(err.contains(hint)) << err.toStdString();
    }
    // A line on a network port, Modbus TCP on a serial one: said at once, nothing tried.
    for (const char *port : {"127.0.0.1:1", "/dev/null"}) {
        TcpSerialControl tcp;
        QString out, err;
        const QString word = QString::fromLatin1(port).startsWith('/') ? "framing=tcp" : "baud=9600";
        EXPECT_EQ(cli(tcp, {"--port", port, "scan", word}, &out, &err), ExitUsage) << port;
        EXPECT_TRUE(err.startsWith("scan: ")) << err.toStdString();
    }
}

// A gateway whose own time-out outlasts a try answers that try late, in the next one:
// the late "target did not answer" belongs to the earlier transaction, not to unit 1.
TEST(UnitScanner, AGatewaysLateAnswerIsNotTheNextTrysAnswer)
{
    QTcpServer gateway;
    ASSERT_TRUE(gateway.listen(QHostAddress::LocalHost, 0));
    QByteArray late; // the answer owed to the try before
    QObject::connect(&gateway, &QTcpServer::newConnection, [&] {
        QTcpSocket *client = gateway.nextPendingConnection();
        QObject::connect(client, &QTcpSocket::readyRead, [&, client] {
            const QByteArray request = client->readAll();
            const auto answer = [&](const QByteArray &pdu) {
                return request.left(4) + char(0) + char(1 + pdu.size()) + request[6] + pdu;
            };
            if (request[7] != 3) { // only reads get through this gateway
                client->write(answer(QByteArray(1, char(0x80 | request[7])) + char(1)));
                return;
            }
            client->write(std::exchange(late, QByteArray()));
            if (request[6] == 1)
                client->write(answer(QByteArray::fromHex("0314") + QByteArray("GW-7").leftJustified(20, '\0')));
            else
                late = answer(QByteArray::fromHex("830B"));
        });
    });
    RecordingPrompter prompter;
    Session session;
    TcpSerialControl tcp;
    ModbusLink link(&tcp, &session);
    link.setSettings({QStringLiteral("127.0.0.1:%1").arg(gateway.serverPort()), QStringLiteral("9600,N,8,1"),
                      ModbusLink::Tcp, 247, 0, 100, /*networkAllowanceMs=*/0});
    UnitScanner scanner(link);
    ScanPlan plan;
    plan.framings = {Tcp};
    plan.unitIds = {1, 247};
    plan.replyMarginMs = 300;
    const QList<FoundUnit> found = scanner.run(plan);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].unitId, 1);
    EXPECT_EQ(found[0].tag, QStringLiteral("GW-7"));
}

// A pseudo-terminal ignores the baud rate: the unit answers at every rate tried.
// It is listed once with the other rates, and the scan says the rate is unknown.
TEST(ScanCommand, AUnitAtSeveralRatesIsListedOnce)
{
    sim::SimOptions o = sim::SimOptions::immediate();
    o.comm.framing = Rtu;
    o.comm.unitId = 17;
    sim::Simulator simulator(o);
    sim::PtySimulator pty(simulator.transmitter());
    const QString path = pty.start();
    ASSERT_FALSE(path.isEmpty());
    QtSerialControl serial;
    for (const bool csv : {false, true}) {
        QString out, err;
        QStringList args{"--port", path, "scan", "baud=9600,19200,38400", "framing=rtu", "parity=N",
                         "unit=1,17", "timeout=20"};
        if (csv)
            args << "csv";
        ASSERT_EQ(cli(serial, args, &out, &err), ExitOk) << err.toStdString();
        if (csv)
            EXPECT_EQ(out, "unit,framing,line,model,tag,also_answered_at\n"
                           "17,rtu,\"9600,N,8,1\",Ostrel,FT-101,\"19200,N,8,1 38400,N,8,1\"\n");
        else
            EXPECT_EQ(out, "17  rtu  9600,N,8,1  Ostrel  FT-101  (also 19200,N,8,1 38400,N,8,1)\n");
        EXPECT_TRUE(err.contains("The port seems to ignore the baud rate")) << err.toStdString();
    }
}

// keys lists what watch accepts, with type and stored unit; a pattern narrows it.
TEST(KeysCommand, ListsKeysWithTypeAndUnitAndSuggestsTheNearest)
{
    Bench bench(Ascii, 9600, 247);
    QString out, err;
    ASSERT_EQ(cli(bench, {"keys", "Mass*.Value"}, &out, &err), ExitOk) << err.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("^MassRate\\.Value +float64 +lb/sec$"),
                                                QRegularExpression::MultilineOption)))
        << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("Density")));
    EXPECT_EQ(cli(bench, {"keys", "tag"}, &out, &err), ExitOk);
    EXPECT_TRUE(out.contains(QStringLiteral("CfgMiscInfo.Tag"))) << "plain text matches anywhere, case ignored";
    EXPECT_EQ(cli(bench, {"keys", "MassRat.Valu"}, &out, &err), ExitFailed);
    EXPECT_TRUE(err.contains(QStringLiteral("(nearest: MassRate.Value"))) << err.toStdString();
}

// Overnight logging: a silence of the unit costs one row, not the log. The failed
// reading is a row with empty cells and its reason, the port is reopened, the
// summary goes to standard error and the exit status says whether anything was read.
TEST(WatchCommand, KeepsLoggingThroughASilenceOfTheUnit)
{
    InstalledClock clock(1);
    Bench bench(Ascii, 9600, 247);
    RegisterImage &unit = bench.simulator->device()->image();
    unit.setF64At(Catalogue::fieldByKey(u"MassRate.Value")->byteOffset, 1.25);
    unit.setTextAt(2 * 578, 20, QStringLiteral("FT,7"));
    const auto silent = [&](bool on) {
        sim::Faults f;
        f.noReply = on;
        bench.simulator->transmitter()->setFaults(f);
    };
    // Silent from 1.5 s to 3.5 s: the third reading (at 2 s) waits out the no-response time.
    ClockTimer fallSilent, speakAgain;
    fallSilent.setSingleShot(true);
    speakAgain.setSingleShot(true);
    QObject::connect(&fallSilent, &ClockTimer::timeout, [&] { silent(true); });
    QObject::connect(&speakAgain, &ClockTimer::timeout, [&] { silent(false); });
    fallSilent.start(1500);
    speakAgain.start(3500);
    const QStringList watch{"watch", "MassRate.Value", "CfgMiscInfo.Tag", "--count", "5", "--interval", "1"};
    QString out, err;
    ASSERT_EQ(cli(bench, watch, &out, &err), ExitOk) << err.toStdString();
    EXPECT_FALSE(out.contains(QLatin1Char('\r')));
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("time,MassRate.Value [lb/sec],CfgMiscInfo.Tag,error"));
    for (int row = 1; row <= 5; ++row) {
        const QString &line = lines[row];
        const QString stamp = line.section(QLatin1Char(','), 0, 0);
        EXPECT_TRUE(QDateTime::fromString(stamp, Qt::ISODateWithMs).isValid()) << line.toStdString();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("[+-]\\d\\d:\\d\\d$")).match(stamp).hasMatch()) << line.toStdString();
        EXPECT_TRUE(line.endsWith(row == 3 ? QStringLiteral(",,,no reply from the unit") : QStringLiteral(",1.25,\"FT,7\",")))
            << line.toStdString();
    }
    EXPECT_TRUE(err.contains(QStringLiteral("watch: 5 readings, 1 failed, longest gap between good readings 6.0 s.")))
        << err.toStdString();

    // A unit that never answers: every row failed, status 1.
    silent(true);
    EXPECT_EQ(cli(bench, {"watch", "MassRate.Value", "--count", "2"}, &out, &err), ExitFailed);
    EXPECT_EQ(out.count(QStringLiteral(",,no reply from the unit\n")), 2) << out.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("2 readings, 2 failed"))) << err.toStdString();

    for (const QStringList &bad : QList<QStringList>{{"watch", "NoSuch.Key"},
                                                      {"watch", "MassRate.Value", "--interval", "0"},
                                                      {"scan", "--interval", "1"}})
        EXPECT_EQ(cli(bench, bad, &out, &err), ExitUsage) << bad.join(' ').toStdString();
    EXPECT_EQ(cli(bench, {"watch", "MassRate.Valeu"}, &out, &err), ExitUsage);
    EXPECT_TRUE(err.contains(QStringLiteral("(nearest: MassRate.Value"))) << err.toStdString();
}
