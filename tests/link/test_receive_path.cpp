#include "Codec.h"
#include "LinkFixture.h"

namespace {

const QString NoResponseText = QStringLiteral("No response from Unit\rClosing Comm Port");
const QString StreamingText = QStringLiteral(
    "Ostrel is in Continuous Output mode.\rModbus mode is required to communicate.\r\r"
    "      Comm Port closed to prevent \r      Receive Data overflow.\r");

} // namespace

TEST_F(LinkTest, SilenceClosesThePortAfterFiveSeconds)
{
    unit.silent = true;
    link->image().store(0, QByteArray(2, char(0x55)));
    QSignalSpy port(link.get(), &ModbusLink::portStateChanged);
    later([this] { clock.advance(ModbusLink::NoResponseMs - 1); });
    later([this] { EXPECT_FALSE(link->ReplyDone()); clock.advance(1); });
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_EQ(link->RxLen(), 0);
    EXPECT_TRUE(link->ReplyDone());
    EXPECT_EQ(link->PortState(), "Closed");
    EXPECT_FALSE(serial.isOpen());
    EXPECT_EQ(imageBytes(0, 2), QByteArray(2, char(0x55)));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0]
                == (RecordingPrompter::Message{NoResponseText, "Receive Failure", Prompter::Error, Prompter::OK | Prompter::Help, 999}));
    ASSERT_FALSE(port.isEmpty());
    EXPECT_FALSE(port.back()[0].toBool());
}

TEST_F(LinkTest, WithOverrideSilenceOnlyEndsTheWait)
{
    unit.silent = true;
    link->setCommOverride(true);
    later([this] { clock.advance(ModbusLink::NoResponseMs); });
    EXPECT_FALSE(link->Force_Coil(52, ModbusFrame::CoilOn));
    EXPECT_TRUE(link->portOpen());
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(LinkTest, BytesKeepARequestAliveOnlyUntilItsDeadline)
{
    unit.silent = true;
    const QByteArray reply = FakeUnit::wire(QByteArray::fromHex("01030400010002"), 0);
    // At 300 baud these 19 characters take 634 ms: the request's deadline is 5,634 ms.
    ASSERT_TRUE(serial.applySettings(QStringLiteral("300,N,8,1"), nullptr));
    later([&] {
        clock.advance(4000);
        serial.deliver(reply.left(5));
        later([&] {
            clock.advance(1600); // past the first no-response time, within the deadline
            serial.deliver(reply.mid(5));
        });
    });
    EXPECT_EQ(link->Read_Regs(0, 4), reply.size());
    EXPECT_EQ(imageBytes(0, 4).toHex(), "00010002");
    EXPECT_TRUE(prompter.messages.isEmpty());

    // Slow noise, a byte every 200 ms, re-arms the no-response timer but not the deadline.
    ASSERT_TRUE(serial.applySettings(QStringLiteral("9600,N,8,1"), nullptr));
    const qint64 sent = clock.nowMs();
    bool dripping = true;
    std::function<void()> drip = [&] {
        if (!dripping || link->ReplyDone())
            return;
        clock.advance(200);
        serial.deliver("x");
        later(drip);
    };
    later(drip);
    EXPECT_EQ(link->Read_Regs(0, 4), 0);
    dripping = false;
    QCoreApplication::processEvents();
    EXPECT_LE(clock.nowMs() - sent, ModbusLink::NoResponseMs + 200);
    EXPECT_TRUE(prompter.shown(NoResponseText));
    EXPECT_FALSE(link->portOpen());

    // A reply that stops half-way ends in the no-response path.
    ASSERT_TRUE(link->openPort());
    later([&] {
        serial.deliver(reply.left(9));
        later([&] { clock.advance(ModbusLink::NoResponseMs); });
    });
    EXPECT_EQ(link->Read_Regs(0, 4), 0);
    EXPECT_EQ(prompter.count(NoResponseText), 2);
    EXPECT_FALSE(link->portOpen());
}

TEST_F(LinkTest, StreamingUnitClosesThePort)
{
    const QByteArray burst = QByteArray(":0103") + QByteArray(95, '7');
    serial.setResponder([&](const QByteArray &) { return QList<QByteArray>(6, burst); });
    QSignalSpy port(link.get(), &ModbusLink::portStateChanged);
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_EQ(link->PortState(), "Closed");
    EXPECT_FALSE(serial.isOpen());
    EXPECT_TRUE(link->ReplyDone());
    EXPECT_EQ(prompter.count(StreamingText), 1);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Information);
    EXPECT_FALSE(port.back()[0].toBool());

    // Streaming with no request outstanding is noticed too.
    ASSERT_TRUE(link->openPort());
    for (int i = 0; i < 6; ++i)
        serial.deliver(burst);
    QCoreApplication::processEvents();
    EXPECT_FALSE(link->portOpen());
    EXPECT_EQ(prompter.count(StreamingText), 2);
}

TEST_F(LinkTest, ClosingThePortEndsTheWait)
{
    unit.silent = true;
    later([this] { link->closePort(); });
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_TRUE(link->ReplyDone());
    EXPECT_FALSE(link->portOpen());
    EXPECT_TRUE(prompter.messages.isEmpty());
    // The no-response timer was stopped with the wait.
    clock.advance(ModbusLink::NoResponseMs * 2);
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(LinkTest, LineErrorsAreReportedAndTheReplyStillCounts)
{
    const QList<QPair<int, QString>> errors = {
        {SerialControl::EvBreak, "A Break was received\r"},
        {SerialControl::EvRxParity, "Got a Parity Error\r"},
    };
    unit.silent = true;
    later([&] {
        for (const auto &e : errors)
            serial.deliverEvent(e.first);
        serial.deliverEvent(1234); // not a line event: ignored
        serial.deliver(FakeUnit::wire(QByteArray::fromHex("0103020102"), 0));
    });
    EXPECT_EQ(link->Read_Regs(0, 2), 15);
    ASSERT_EQ(prompter.messages.size(), errors.size());
    for (int i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(prompter.messages[i].text, errors[i].second);
        EXPECT_EQ(prompter.messages[i].title, "Receive Failure");
        EXPECT_EQ(prompter.messages[i].helpContext, 999);
    }
    EXPECT_TRUE(link->portOpen());
}

TEST_F(LinkTest, StrayInputNeitherCompletesNorSpoilsARequest)
{
    QSignalSpy status(link.get(), &ModbusLink::statusText);
    // Data with no request outstanding is dropped.
    serial.deliver(FakeUnit::wire(QByteArray::fromHex("0103020BAD"), 0));
    QCoreApplication::processEvents();
    unit.silent = true;
    later([&] {
        // An end of line with no start, then the real reply in pieces.
        serial.deliver("\r\n");
        const QByteArray reply = FakeUnit::wire(QByteArray::fromHex("0103020102"), 0);
        serial.deliver(reply.left(3));
        serial.deliver(reply.mid(3));
    });
    EXPECT_EQ(link->Read_Regs(0, 2), 15);
    EXPECT_EQ(imageBytes(0, 2).toHex(), "0102");
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0][0].toString(), "MSComm1 Rcv: CRLF with no Start, abort Recv...");
    // Input left over from earlier is dropped before every request.
    EXPECT_GE(serial.discardCount(), 1);
}

TEST_F(LinkTest, LostDeviceOrFailedWriteClosesThePortWithAMessage)
{
    unit.silent = true;
    later([this] { serial.loseDevice(QStringLiteral("/dev/ttyUSB0 was unplugged")); });
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_FALSE(link->portOpen());
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.contains("/dev/ttyUSB0 was unplugged"));

    ASSERT_TRUE(link->openPort());
    serial.setWriteFails(true);
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_FALSE(link->portOpen());
    EXPECT_EQ(prompter.messages.size(), 2);
    EXPECT_EQ(prompter.messages[1].title, "Transmit Failure");
}

TEST_F(LinkTest, IndicatorsAndPanelsFollowTheLink)
{
    QSignalSpy tx(link.get(), &ModbusLink::txActive);
    QSignalSpy rx(link.get(), &ModbusLink::rxActive);
    EXPECT_GT(link->Read_Regs(0, 2), 0);
    ASSERT_EQ(tx.size(), 2);
    EXPECT_TRUE(tx[0][0].toBool());
    EXPECT_FALSE(tx[1][0].toBool());
    ASSERT_GE(rx.size(), 2);
    EXPECT_TRUE(rx[0][0].toBool());
    EXPECT_FALSE(rx.back()[0].toBool());

    // A network port shows its address only: the line settings belong to the gateway.
    const struct {
        const char *port;
        int framing, unitId;
        const char *comm, *mode, *id;
    } panels[] = {
        {"1", ModbusLink::Ascii, 1, "COM1: 9600,N,8,1", "ASCII", "ID: 1"},
        {"[::1]:502", ModbusLink::Tcp, 247, "[::1]:502", "TCP", "ID: 247"},
        {"/dev/ttyUSB0", ModbusLink::Rtu, 247, "/dev/ttyUSB0: 9600,N,8,1", "RTU", "ID: 247"},
    };
    CommSettings s = link->settings();
    for (const auto &p : panels) {
        s.port = p.port;
        s.framing = p.framing;
        s.unitId = p.unitId;
        link->setSettings(s);
        EXPECT_EQ(link->commPanelText(), p.comm);
        EXPECT_EQ(link->modePanelText(), p.mode);
        EXPECT_EQ(link->idPanelText(), p.id);
    }
    // Invalid values are refused with a message and change nothing.
    link->setUnitId(248);
    link->setFraming(3);
    EXPECT_EQ(link->settings().unitId, 247);
    EXPECT_EQ(link->settings().framing, ModbusLink::Rtu);
    EXPECT_EQ(prompter.messages.size(), 2);
}

TEST_F(LinkTest, OpenFailureIsReportedToTheCaller)
{
    link->closePort();
    serial.failNextOpen(QStringLiteral("/dev/ttyS0 does not exist"));
    QString error;
    EXPECT_FALSE(link->openPort(&error));
    EXPECT_EQ(error, "/dev/ttyS0 does not exist");
    EXPECT_EQ(link->PortState(), "Closed");
    EXPECT_TRUE(link->openPort(&error));
    EXPECT_EQ(link->PortState(), "Open");
}
