// Network ports: the port text, and Modbus TCP through a TCP connection to a scripted
// gateway on 127.0.0.1 (the tests open no other address).
#include "Codec.h"
#include "InstalledClock.h"
#include "LinkFixture.h"
#include "ModbusLink.h"
#include "NetworkAddress.h"
#include "RecordingPrompter.h"
#include "Session.h"
#include "TcpSerialControl.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

TEST(NetworkAddress, PortTextsParseOnceForEveryCaller)
{
    struct Case {
        const char *text;
        const char *host;
        int port;
    };
    const Case parsed[] = {
        {.text = "192.168.1.20:502", .host = "192.168.1.20", .port = 502},
        {.text = " gw-3.plant.example:4001 ", .host = "gw-3.plant.example", .port = 4001},
        {.text = "localhost:65535", .host = "localhost", .port = 65535},
        {.text = "[fe80::1]:502", .host = "fe80::1", .port = 502},
        {.text = "[::1]:1", .host = "::1", .port = 1},
    };
    // Meant as network ports, but refused: IPv6 without brackets, bad hosts and ports.
    for (const char *text : {"fe80::1:502", "[fe80::1]502", "[10.0.0.1]:502", "10.0.0.256:502", "10.0.1:502",
                             "host:0", "host:65536", "host:+502", "host:", ":502", "bad_host:502", "-gw:502"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(NetworkAddress::isNetworkText(QString::fromLatin1(text)));
        QString error;
        EXPECT_FALSE(NetworkAddress::parse(QString::fromLatin1(text), &error).has_value());
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(SerialControl::portTextValid(QString::fromLatin1(text), nullptr));
    }
    for (const char *serial : {"3", "/dev/ttyUSB0", "/dev/serial/by-path/pci-0:1.0"})
        EXPECT_FALSE(NetworkAddress::isNetworkText(QString::fromLatin1(serial))) << serial;
    for (const Case &c : parsed) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(NetworkAddress::isNetworkText(QString::fromLatin1(c.text)));
        EXPECT_TRUE(SerialControl::portTextValid(QString::fromLatin1(c.text), nullptr));
        QString error;
        const auto address = NetworkAddress::parse(QString::fromLatin1(c.text), &error);
        ASSERT_TRUE(address.has_value()) << error.toStdString();
        EXPECT_EQ(address->host, QString::fromLatin1(c.host));
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(NetworkAddress::parse(address->text()), address); // the text round-trips
    }
}

namespace {

int at16(const QByteArray &b, int i)
{
    return uint8_t(b[i]) << 8 | uint8_t(b[i + 1]);
}

QByteArray header(int transaction, int protocol, int length)
{
    QByteArray h;
    for (int v : {transaction, protocol, length}) {
        h.append(char(v >> 8));
        h.append(char(v & 0xFF));
    }
    return h;
}

// A Modbus TCP gateway that answers each complete request with what the test's
// function gives (written in one piece, or byte by byte).
class ScriptedGateway : public QObject {
public:
    ScriptedGateway()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            client = server.nextPendingConnection();
            QObject::connect(client, &QTcpSocket::readyRead, [this] { onReadyRead(); });
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
    void onReadyRead()
    {
        input += client->readAll();
        while (input.size() >= 6 && input.size() >= 6 + at16(input, 4)) {
            const QByteArray request = input.left(6 + at16(input, 4));
            input.remove(0, request.size());
            requests << request;
            const QByteArray reply = answer(request);
            if (byteByByte) {
                for (char c : reply) {
                    client->write(QByteArray(1, c));
                    client->flush();
                }
            } else {
                client->write(reply);
            }
        }
    }

    QTcpServer server;
    QTcpSocket *client = nullptr;
    QByteArray input;
    QList<QByteArray> requests;
    std::function<QByteArray(const QByteArray &)> answer;
    bool byteByByte = false;
};

class NetworkLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(&tcp, &session);
        QObject::connect(link.get(), &ModbusLink::traffic, [this](const LinkTraffic &t) { traffic << t.kind; });
        link->setSettings({.port = gateway.address(), .framing = ModbusLink::Tcp, .unitId = 9});
        ASSERT_TRUE(link->openPort());
        armWatchdog(watchdog, *link);
    }
    // The reply to a read of one register, with its own header.
    static QByteArray readReply(int transaction, int protocol, uint16_t value, int registers = 1)
    {
        QByteArray pdu = QByteArray("\x09\x03", 2) + char(2 * registers);
        for (int i = 0; i < registers; ++i) {
            pdu.append(char(value >> 8));
            pdu.append(char(value & 0xFF));
        }
        return header(transaction, protocol, int(pdu.size())) + pdu;
    }

    RecordingPrompter prompter;
    Session session;
    ScriptedGateway gateway;
    TcpSerialControl tcp;
    std::unique_ptr<ModbusLink> link;
    QList<LinkTraffic::Kind> traffic;
    QTimer watchdog;
};

} // namespace

TEST_F(NetworkLink, EveryRequestCarriesTheNextTransactionAndAnMbapHeader)
{
    gateway.answer = [](const QByteArray &r) { return readReply(at16(r, 0), 0, 0x1234); };
    ASSERT_TRUE(link->readRegisters(600, 2));
    ASSERT_TRUE(link->readRegisters(600, 2));
    ASSERT_EQ(gateway.requests.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QByteArray &r = gateway.requests[i];
        EXPECT_EQ(at16(r, 0), i + 1);
        EXPECT_EQ(at16(r, 2), 0);
        EXPECT_EQ(r.mid(6), ModbusFrame::readHoldingRegisters(9, 600, 1)); // unit ID, PDU, no checksum
    }
    EXPECT_EQ(link->image().reg(600), 0x1234);
}

TEST_F(NetworkLink, OnlyTheRequestsTransactionProtocolAndLengthCount)
{
    // Each case puts something that is not this request's reply before the real one,
    // which the gateway may also deliver a byte at a time.
    const std::function<QByteArray(int)> strays[] = {
        [](int t) { return readReply(t - 1, 0, 0xDEAD); },    // a late reply to the request before
        [](int t) { return readReply(t + 100, 0, 0xDEAD); },  // another client's transaction
        [](int t) { return readReply(t, 1, 0xDEAD); },        // not Modbus (protocol 1)
        [](int t) { return readReply(t, 0, 0xDEAD, 2); },     // the length of another request
    };
    for (bool byteByByte : {false, true}) {
        for (const auto &stray : strays) {
            traffic.clear();
            gateway.byteByByte = byteByByte;
            gateway.answer = [&stray](const QByteArray &r) { return stray(at16(r, 0)) + readReply(at16(r, 0), 0, 0x0BEE); };
            link->image().setU16At(1200, 0);
            ASSERT_TRUE(link->readRegisters(600, 2));
            EXPECT_EQ(link->image().reg(600), 0x0BEE);
            EXPECT_EQ(traffic.last(), LinkTraffic::Reply);
        }
    }
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.texts().join(QLatin1Char('|')).toStdString();
}

TEST_F(NetworkLink, AnExceptionReplyIsTheUnitsAnswer)
{
    gateway.answer = [](const QByteArray &r) { return header(at16(r, 0), 0, 3) + QByteArray("\x09\x83\x02", 3); };
    EXPECT_FALSE(link->readRegisters(600, 2));
    EXPECT_TRUE(link->MsgComplete());
    EXPECT_EQ(link->LastException(), 2);
    EXPECT_FALSE(link->ReplyCorrupt());
}

// A broadcast through a gateway ends at once, whether or not the gateway answers unit 0
// (many Modbus TCP servers do), and the next request waits for the units' turnaround.
TEST_F(NetworkLink, ABroadcastGetsItsTurnaroundAndAnyAnswerIsStray)
{
    InstalledClock clock(1);
    QList<qint64> arrivedUs;
    for (const bool gatewayAnswersUnitZero : {false, true}) {
        arrivedUs.clear();
        gateway.answer = [&](const QByteArray &r) {
            arrivedUs << clock.nowUs();
            if (r[6] != 0)
                return readReply(at16(r, 0), 0, 0x0BEE);
            return gatewayAnswersUnitZero ? header(at16(r, 0), 0, 6) + r.mid(6, 6) : QByteArray();
        };
        link->setUnitId(0);
        link->writeRegisters(600, QByteArray::fromHex("0001")); // nobody confirms a broadcast
        link->setUnitId(9);
        EXPECT_TRUE(link->readRegisters(600, 2));
        EXPECT_EQ(link->image().reg(600), 0x0BEE);
        ASSERT_EQ(arrivedUs.size(), 2);
        EXPECT_GE(arrivedUs[1] - arrivedUs[0], link->settings().turnaroundMs * 1000) << gatewayAnswersUnitZero;
    }
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.texts().join(QLatin1Char('|')).toStdString();
}

// A refused connection, or Modbus TCP named for a serial port, is said as such at open.
TEST(NetworkPort, OpenFailuresSayWhatWentWrong)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    const QString refusedAt = QStringLiteral("127.0.0.1:%1").arg(closedPort);
    for (const auto &[port, reason] : {std::pair{refusedAt, "could not connect to " + refusedAt + ": connection refused"},
                                       std::pair{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("network port")}}) {
        TcpSerialControl tcp;
        Session session;
        ModbusLink link(&tcp, &session);
        link.setSettings({.port = port, .framing = ModbusLink::Tcp});
        QString error;
        EXPECT_FALSE(link.openPort(&error));
        EXPECT_TRUE(port == refusedAt ? error == reason : error.contains(reason)) << error.toStdString();
        EXPECT_FALSE(link.portOpen());
    }
}
