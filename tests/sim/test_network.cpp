// The link on a network port against the simulated transmitter served on 127.0.0.1
// (TcpSimulator), in Modbus TCP and with RTU and ASCII frames carried as they are.
// A manual clock runs one millisecond per pass of the event loop, so split replies
// and time-outs play out in simulated time while the sockets move real bytes.
#include "SimDevice.h"
#include "SimTransmitter.h"
#include "Simulator.h"
#include "TcpSimulator.h"

#include "CommSettingsFile.h"
#include "ConfigurationTransfer.h"
#include "InstalledClock.h"
#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"
#include "TcpSerialControl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace sim;

namespace {
enum NetFraming { Mbap, RtuFrames, AsciiFrames };
const QString NoResponse = QStringLiteral("No response from Unit\rClosing Comm Port");
} // namespace

class LinkOverTcp : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        SimOptions o = SimOptions::immediate();
        o.comm.framing = GetParam() == AsciiFrames ? 0 : 1;
        o.mbap = GetParam() == Mbap;
        simulator = std::make_unique<Simulator>(o);
        server = std::make_unique<TcpSimulator>(simulator->transmitter());
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0));
        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(&tcp, &session);
        const int framing = GetParam() == Mbap ? ModbusLink::Tcp : GetParam() == RtuFrames ? ModbusLink::Rtu : ModbusLink::Ascii;
        link->setSettings({.port = server->address(), .framing = framing, .unitId = 247});
        ASSERT_TRUE(link->openPort());
    }
    void setFaults(const std::function<void(Faults &)> &change)
    {
        Faults f = simulator->transmitter()->faults();
        change(f);
        simulator->transmitter()->setFaults(f);
    }

    InstalledClock clock{1}; // first in, last out
    RecordingPrompter prompter;
    Session session;
    TcpSerialControl tcp;
    std::unique_ptr<Simulator> simulator;
    std::unique_ptr<TcpSimulator> server;
    std::unique_ptr<ModbusLink> link;
};

TEST_P(LinkOverTcp, SplitRepliesAreReassembledAndWritesLand)
{
    const QByteArray values = QByteArray::fromHex("0001000200030004");
    ASSERT_TRUE(link->writeRegisters(600, values));
    for (int pieces : {1, 3, 7}) {
        setFaults([pieces](Faults &f) { f.setSplit(QStringLiteral("%1:3").arg(pieces)); });
        link->image().store(600, QByteArray(8, '\0'));
        EXPECT_TRUE(link->readRegisters(600, 8)) << pieces;
        EXPECT_EQ(link->image().read(600, 8), values) << pieces;
    }
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.texts().join('|').toStdString();
}

TEST_P(LinkOverTcp, FaultsShowAsOnASerialLine)
{
    setFaults([](Faults &f) { f.setException(QStringLiteral("2:600-601")); });
    EXPECT_FALSE(link->readRegisters(600, 2));
    EXPECT_EQ(link->LastException(), 2);

    // A spoilt checksum (in Modbus TCP: a reply naming another protocol) is never taken.
    setFaults([](Faults &f) {
        f = {};
        f.corruptChecksum = true;
    });
    EXPECT_FALSE(link->readRegisters(600, 2));
    if (GetParam() == Mbap) {
        EXPECT_TRUE(prompter.shown(NoResponse));
        ASSERT_TRUE(link->openPort());
    } else {
        EXPECT_TRUE(link->ReplyCorrupt());
    }

    setFaults([](Faults &f) {
        f = {};
        f.noReply = true;
    });
    prompter.messages.clear();
    EXPECT_FALSE(link->readRegisters(600, 2));
    EXPECT_TRUE(prompter.shown(NoResponse));
    EXPECT_FALSE(link->portOpen());

    setFaults([](Faults &f) {
        f = {};
        f.streaming = true;
    });
    prompter.messages.clear();
    ASSERT_TRUE(link->openPort());
    EXPECT_FALSE(link->readRegisters(600, 2));
    EXPECT_TRUE(prompter.lastText().contains(QStringLiteral("Continuous Output"))) << prompter.lastText().toStdString();
    EXPECT_FALSE(link->portOpen());
}

TEST_P(LinkOverTcp, ADroppedConnectionStopsTheUploadAndTheNextRequestReconnects)
{
    int replies = 0;
    QObject::connect(simulator->transmitter(), &SimTransmitter::transmit, server.get(), [&] {
        if (++replies == 5)
            QTimer::singleShot(0, server.get(), [this] { server->dropClients(); });
    });
    ConfigurationTransfer transfer(*link, session);
    const ConfigurationTransfer::Result result = transfer.upload();
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.portLost || result.failedBlocks > 0);
    ASSERT_FALSE(prompter.messages.isEmpty());
    EXPECT_TRUE(prompter.messages.first().text.startsWith(QStringLiteral("The network port was lost")))
        << prompter.messages.first().text.toStdString();
    // Nothing is asked of the technician: the next request opens the connection again.
    EXPECT_TRUE(link->readRegisters(578, 20));
    EXPECT_TRUE(link->portOpen());
}

// The gateway reaches the unit at its present line (and, in Modbus TCP, its present
// mode), so a download keeps those and says so; frames carried as they are follow the
// unit to the file's framing. The PC stays on the network port.
TEST_P(LinkOverTcp, ADownloadKeepsTheLineTheGatewayUses)
{
    ConfigurationTransfer transfer(*link, session);
    ASSERT_TRUE(transfer.upload().ok());
    const CommConfig unitBefore = simulator->device()->comm();
    QByteArray sci = link->image().read(2406, CommLists::SciBytes);
    ASSERT_TRUE(CommLists::lineToSciBytes(QStringLiteral("19200,E,8,1"), &sci));
    link->image().store(2406, sci);
    const int otherMode = unitBefore.framing == 1 ? 0 : 1;
    link->image().setU8At(2 * 2402, uint8_t(otherMode));
    const ConfigurationTransfer::Result result = transfer.download();
    EXPECT_TRUE(result.ok()) << result.summary.toStdString() << prompter.texts().join('|').toStdString();
    EXPECT_EQ(simulator->device()->comm().line.text(), unitBefore.line.text());
    EXPECT_EQ(simulator->device()->comm().framing, GetParam() == Mbap ? unitBefore.framing : otherMode);
    EXPECT_TRUE(result.summary.contains(QStringLiteral("line of the file (19200,E,8,1) was not written")))
        << result.summary.toStdString();
    EXPECT_EQ(link->modePanelText(), GetParam() == Mbap ? "TCP" : GetParam() == RtuFrames ? "ASCII" : "RTU");
    EXPECT_EQ(link->settings().port, server->address());
    EXPECT_TRUE(link->portOpen());
}

INSTANTIATE_TEST_SUITE_P(Framing, LinkOverTcp, ::testing::Values(Mbap, RtuFrames, AsciiFrames), [](const auto &info) {
    return info.param == Mbap ? "ModbusTcp" : info.param == RtuFrames ? "RtuOverTcp" : "AsciiOverTcp";
});

// Two masters on one gateway: each gets the answer to its own request, with its own
// transaction ID, though both asked at once.
TEST(TcpSimulatorClients, ServedOneRequestAtATime)
{
    SimOptions o = SimOptions::immediate();
    o.mbap = true;
    Simulator simulator(o);
    TcpSimulator server(simulator.transmitter());
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket a, b;
    a.connectToHost(QHostAddress::LocalHost, server.port());
    b.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(a.waitForConnected(5000) && b.waitForConnected(5000));
    // Read 1 register at 578 (unit 247) and 2 registers at 579.
    a.write(QByteArray::fromHex("000700000006f70302420001"));
    b.write(QByteArray::fromHex("010000000006f70302430002"));
    QByteArray fromA, fromB;
    QElapsedTimer bound;
    bound.start();
    while ((fromA.size() < 11 || fromB.size() < 13) && bound.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        fromA += a.readAll();
        fromB += b.readAll();
    }
    const QByteArray image = simulator.transmitter()->device()->image().read(578, 6);
    EXPECT_EQ(fromA, QByteArray::fromHex("000700000005f70302") + image.left(2));
    EXPECT_EQ(fromB, QByteArray::fromHex("010000000007f70304") + image.mid(2, 4));
}

// The simulator listens on loopback unless a host is named (what it refuses is with
// the other options).
TEST(TcpSimulatorOptions, LoopbackUnlessAskedAndTcpFramingOnlyOnTcp)
{
    struct Case {
        QStringList arguments;
        const char *host;
        int port;
        bool mbap;
    };
    const Case cases[] = {
        {{"--tcp", "5020"}, "127.0.0.1", 5020, false},
        {{"--tcp", "0", "--framing", "tcp"}, "127.0.0.1", 0, true},
        {{"--tcp", "[::1]:502", "--framing", "rtu"}, "::1", 502, false},
        {{"--tcp", "0.0.0.0:502"}, "0.0.0.0", 502, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        SimOptions o;
        QString error;
        ASSERT_TRUE(SimOptions::parse(QStringList{"tarvine-sim"} + c.arguments, &o, &error)) << error.toStdString();
        EXPECT_TRUE(o.serveTcp);
        EXPECT_EQ(o.tcpHost, QString::fromLatin1(c.host));
        EXPECT_EQ(o.tcpPort, c.port);
        EXPECT_EQ(o.mbap, c.mbap);
    }
}
