#include "Codec.h"
#include "LinkFixture.h"

namespace {

const QString UnitBusyText = QStringLiteral("Unit unable to process request,\rcommand failed.");
const QString MustOpenText = QStringLiteral("Comm Port must be open\r\nto communicate with unit.");

QByteArray pattern(int n, int seed = 0)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char(i * 7 + seed);
    return b;
}

} // namespace

TEST_F(LinkTest, ReadRegistersFillsTheImageInBothFramings)
{
    unit.registers.replace(2 * 244, 154, pattern(154));
    EXPECT_EQ(link->Read_Regs(244, 154), 2 * (3 + 154 + 1) + 3);
    EXPECT_EQ(imageBytes(244, 154), pattern(154));
    ASSERT_EQ(serial.writes().size(), 1);
    EXPECT_EQ(serial.writes()[0], ":010300F4004DBB\r\n");
    EXPECT_EQ(link->LastException(), 0);

    useFraming(ModbusLink::Rtu);
    clock.run(1); // each RTU request waits for the silent interval
    unit.registers.replace(2 * 244, 154, pattern(154, 3));
    unit.chunkSize = 7; // replies trickle in, as from a USB adapter
    EXPECT_EQ(link->Read_Regs(244, 154), 154 + 5);
    EXPECT_EQ(imageBytes(244, 154), pattern(154, 3));
    EXPECT_EQ(unit.requests.back().toHex(), "010300f4004d");
    EXPECT_EQ(link->frameData(), pattern(154, 3));
    EXPECT_EQ(link->lastReceived().size(), 159);
}

// Before an RTU frame the line must have been silent for 3.5 characters (1.75 ms above
// 19200 baud), plus any extra silence; after a broadcast, which nobody answers, the
// units get the turnaround delay. The request goes out on time, not before.
TEST_F(LinkTest, RtuRequestsKeepTheSilentInterval)
{
    struct Case {
        const char *line;
        int extraMs;
        bool afterBroadcast;
        qint64 silenceUs;
    };
    const Case cases[] = {
        {"9600,N,8,1", 0, false, 3646},    // 3.5 x 10 bits / 9600, rounded up
        {"19200,E,8,1", 0, false, 2006},   // 3.5 x 11 bits / 19200
        {"115200,N,8,1", 0, false, 1750},  // fixed above 19200
        {"38400,N,8,1", 5, false, 6750},   // plus the extra silence
        {"9600,N,8,1", 0, true, 11459 + 100000}, // the broadcast's 11 bytes on the wire, then the turnaround
    };
    qint64 sentAt = 0;
    serial.setResponder([&](const QByteArray &wire) {
        sentAt = clock.nowUs();
        return unit.respond(wire);
    });
    unit.framing = ModbusLink::Rtu;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        link->closePort();
        link->setSettings({QStringLiteral("1"), QString::fromLatin1(c.line), ModbusLink::Rtu, 1, c.extraMs});
        ASSERT_TRUE(link->openPort());
        clock.advance(1000); // a quiet line: the first request goes at once
        if (c.afterBroadcast) {
            link->setUnitId(0);
            EXPECT_EQ(link->Write_Regs(10, QByteArray::fromHex("0102")), 0);
            link->setUnitId(1);
            EXPECT_EQ(unit.reg(10), 0x0102) << "a broadcast is carried out";
            EXPECT_TRUE(link->portOpen()) << "and its silence is no failure";
        } else {
            EXPECT_GT(link->Read_Regs(0, 2), 0);
        }
        const qint64 lineQuietFrom = c.afterBroadcast ? sentAt : clock.nowUs();
        qsizetype writesBeforeTime = -1;
        // To a microsecond before the silence ends, then to its end (the request goes
        // out then, not at the next whole millisecond), then on, so a late one ends too.
        later([&] {
            clock.advanceUs(lineQuietFrom + c.silenceUs - 1 - clock.nowUs());
            writesBeforeTime = serial.writes().size();
            later([&] {
                clock.advanceUs(1);
                later([&] { clock.advanceUs(1000); });
            });
        });
        const qsizetype writesBefore = serial.writes().size();
        EXPECT_GT(link->Read_Regs(0, 2), 0);
        EXPECT_EQ(writesBeforeTime, writesBefore);
        EXPECT_EQ(sentAt - lineQuietFrom, c.silenceUs);
    }
    // ASCII has no silent interval.
    useFraming(ModbusLink::Ascii);
    link->setSettings({QStringLiteral("1"), QStringLiteral("9600,N,8,1"), ModbusLink::Ascii, 1, 0});
    EXPECT_GT(link->Read_Regs(0, 2), 0);
    const qint64 asciiFrom = clock.nowUs();
    EXPECT_GT(link->Read_Regs(0, 2), 0);
    EXPECT_EQ(sentAt, asciiFrom);
}

TEST_F(LinkTest, FailedRepliesLeaveTheImageUnchanged)
{
    const QByteArray before(8, char(0xAA));
    link->image().store(100, before);
    unit.registers.replace(200, 8, pattern(8, 1));
    QSignalSpy status(link.get(), &ModbusLink::statusText);

    unit.exception = 2;
    EXPECT_GT(link->Read_Regs(100, 8), 0);
    EXPECT_EQ(link->LastException(), 2);
    EXPECT_EQ(imageBytes(100, 8), before);
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0][0].toString(), "Illegal Data Address");

    EXPECT_FALSE(link->ReplyCorrupt());
    unit.exception = 0;

    // A wrong checksum, or a header promising more data than the frame holds: the
    // reply is corrupt, which is not the unit's refusal.
    for (const QByteArray &corrupt : {QByteArray(":01030800000000000000000F\r\n"),
                                      FakeUnit::wire(QByteArray::fromHex("0103080102BEEF"), 0)}) {
        serial.setResponder([&](const QByteArray &) { return QList<QByteArray>{corrupt}; });
        EXPECT_GT(link->Read_Regs(100, 8), 0);
        EXPECT_EQ(link->LastException(), 12);
        EXPECT_TRUE(link->ReplyCorrupt());
        EXPECT_EQ(imageBytes(100, 8), before);
        EXPECT_EQ(status.back()[0].toString(), "Checksum or framing error in the reply");
    }
}

TEST_F(LinkTest, ARequestDuringTheWaitIsRefusedAndSendsNothing)
{
    unit.silent = true;
    int nested = -1;
    qsizetype writesDuring = 0;
    later([&] {
        nested = link->Read_Regs(0, 2);
        nested += link->Force_Coil(82, ModbusFrame::CoilOn) ? 1000 : 0;
        writesDuring = serial.writes().size();
        serial.deliver(FakeUnit::wire(QByteArray::fromHex("01030412345678"), 0));
    });
    EXPECT_GT(link->Read_Regs(10, 4), 0);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(writesDuring, 1);
    EXPECT_EQ(imageBytes(10, 4).toHex(), "12345678");
    EXPECT_TRUE(prompter.messages.isEmpty());

    // The override skips checks, not the one-request rule.
    link->setCommOverride(true);
    later([&] {
        nested = link->Read_Regs(0, 2);
        serial.deliver(FakeUnit::wire(QByteArray::fromHex("01030400000000"), 0));
    });
    EXPECT_GT(link->Read_Regs(10, 4), 0);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(serial.writes().size(), 2);
}

TEST_F(LinkTest, EachOperationKeepsItsOwnReplyWhateverRunsDuringItsWait)
{
    // A window opened during the wait runs its own event loop; once the outer reply
    // is in, its requests go through before the outer caller resumes.
    unit.registers.replace(2 * 2406, 8, pattern(8, 50));
    unit.silent = true;
    const QByteArray reply = FakeUnit::wire(QByteArray::fromHex("010308") + pattern(8, 1), 0);
    int nestedResult = -1;
    QTimer::singleShot(1, [&] {
        QEventLoop modal;
        serial.deliver(reply);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!link->ReplyDone())
                return;
            unit.silent = false;
            unit.exception = 2;
            nestedResult = link->Read_Regs(2406, 8);
            modal.quit();
        });
        poll.start(1);
        modal.exec();
    });
    EXPECT_EQ(link->Read_Regs(100, 8), reply.size());
    EXPECT_GT(nestedResult, 0);
    EXPECT_EQ(link->LastException(), 0);
    EXPECT_EQ(imageBytes(100, 8), pattern(8, 1));
    EXPECT_EQ(link->frameData(), pattern(8, 1));
}

TEST_F(LinkTest, ALateReplyIsDiscardedAndTheRightOneAwaited)
{
    unit.registers.replace(1200, 20, pattern(20, 3)); // registers 600..609
    for (int framing : {0, 1}) {
        useFraming(framing);
        clock.advance(10); // the line has been quiet for the silent interval
        // The answer to an earlier read of 20 registers at 578 arrives first.
        const QByteArray late = FakeUnit::wire(QByteArray::fromHex("010328") + pattern(40, 9), framing);
        const QByteArray echo = FakeUnit::wire(QByteArray::fromHex("01050030FF00"), framing);
        serial.setResponder([&](const QByteArray &w) {
            QList<QByteArray> replies = unit.respond(w);
            replies.prepend(late + echo.left(3));
            replies.insert(1, echo.mid(3));
            return replies;
        });
        EXPECT_EQ(link->Read_Regs(600, 20), framing ? 25 : 2 * 24 + 3) << framing;
        EXPECT_EQ(link->LastException(), 0);
        EXPECT_EQ(imageBytes(600, 20), pattern(20, 3));
    }
    // Nothing but stray replies: the request takes the no-response path.
    serial.setResponder([](const QByteArray &) {
        return QList<QByteArray>{FakeUnit::wire(QByteArray::fromHex("0103020000"), 1)};
    });
    clock.advance(10);
    later([this] { later([this] { clock.advance(ModbusLink::NoResponseMs); }); });
    EXPECT_EQ(link->Read_Regs(600, 20), 0);
    EXPECT_EQ(imageBytes(600, 20), pattern(20, 3));
    EXPECT_FALSE(link->portOpen());
}

TEST_F(LinkTest, MustOpenNoticeIsShownOncePerArming)
{
    link->closePort();
    link->armMustOpenLatch();
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_EQ(link->Write_Regs(0, QByteArray(2, 'x')), 0);
    EXPECT_FALSE(link->Force_Coil(82, ModbusFrame::CoilOn));
    EXPECT_FALSE(link->Read_Coil(0, 1));
    EXPECT_EQ(prompter.count(MustOpenText), 1);
    EXPECT_EQ(prompter.messages[0].title, "Tarvine 2");
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Information);
    EXPECT_TRUE(serial.writes().isEmpty());
    // Closing the port by the program disarms the latch; a successful request re-arms it.
    link->armMustOpenLatch();
    link->closePort();
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_EQ(prompter.count(MustOpenText), 1);
    ASSERT_TRUE(link->openPort());
    EXPECT_GT(link->Read_Regs(0, 2), 0);
    link->serial()->close(); // the port went away without the program closing it
    link->closePort();
    EXPECT_EQ(link->Read_Regs(0, 2), 0);
    EXPECT_EQ(prompter.count(MustOpenText), 1);
}

TEST_F(LinkTest, WriteNeedsProgrammerLevelUnlessOverridden)
{
    const QByteArray value = QByteArray::fromHex("00070008");
    session.setAccessLevel(Session::Viewer);
    EXPECT_EQ(link->Write_Regs(2401, value), 0);
    EXPECT_EQ(imageBytes(2401, 4), QByteArray(4, '\0'));

    link->setCommOverride(true);
    EXPECT_EQ(link->Write_Regs(2401, value), 0);
    EXPECT_EQ(imageBytes(2401, 4), value);
    EXPECT_TRUE(serial.writes().isEmpty());
    link->setCommOverride(false);

    session.setAccessLevel(Session::Programmer);
    EXPECT_EQ(link->Write_Regs(2405, value), 17);
    EXPECT_EQ(unit.registers.mid(2 * 2405, 4), value);
    EXPECT_EQ(unit.requests.back().toHex(), "0110096500020400070008");

    // The image is staged even when the port is closed.
    link->closePort();
    EXPECT_EQ(link->Write_Regs(300, value), 0);
    EXPECT_EQ(imageBytes(300, 4), value);
}

TEST_F(LinkTest, RequestsOutsideTheBoundsAreRefusedWithAMessage)
{
    const QByteArray two(2, 'x');
    EXPECT_EQ(link->Read_Regs(3400, 6), 0);
    EXPECT_EQ(link->Read_Regs(0, 3), 0);
    EXPECT_EQ(link->Read_Regs(0, 0), 0);
    EXPECT_EQ(link->Read_Regs(0, 246), 0);
    EXPECT_EQ(link->Read_Regs(-1, 2), 0);
    EXPECT_EQ(link->Write_Regs(3402, two), 0);
    EXPECT_EQ(link->Write_Regs(0, QByteArray(246, 'x')), 0);
    EXPECT_EQ(link->Write_Regs(0, 2, nullptr), 0);
    EXPECT_FALSE(link->Store_Regs(3401, 4, reinterpret_cast<const uint8_t *>("abcd")));
    EXPECT_FALSE(link->Read_Coil(0, 0));
    EXPECT_FALSE(link->Force_Coil(70000, ModbusFrame::CoilOn));
    EXPECT_TRUE(serial.writes().isEmpty());
    EXPECT_EQ(prompter.messages.size(), 11);
    EXPECT_EQ(prompter.messages[0].title, "Invalid Request");
    EXPECT_TRUE(prompter.messages[0].text.contains("3400"));

    // The last register and the largest window request are fine.
    EXPECT_GT(link->Read_Regs(3401, 2), 0);
    EXPECT_GT(link->Read_Regs(0, 244), 0);
}

TEST_F(LinkTest, ConsoleLimitAllowsWhatFitsTheBuffers)
{
    link->setTransferLimit(ModbusLink::BufferBound);
    unit.registers.replace(0, 250, pattern(250));
    EXPECT_EQ(link->Read_Regs(0, 250), 2 * (250 + 4) + 3);
    EXPECT_EQ(imageBytes(0, 250), pattern(250));
    EXPECT_EQ(link->Read_Regs(0, 252), 0);
    EXPECT_GT(link->Write_Regs(0, pattern(246, 5)), 0);
    EXPECT_EQ(unit.registers.left(246), pattern(246, 5));
    EXPECT_EQ(link->Write_Regs(0, pattern(248)), 0);

    useFraming(ModbusLink::Rtu);
    clock.run(1);
    EXPECT_EQ(link->Read_Regs(0, 254), 254 + 5);
    EXPECT_GT(link->Write_Regs(0, pattern(254, 9)), 0);
    EXPECT_EQ(unit.registers.left(254), pattern(254, 9));
    EXPECT_EQ(prompter.messages.size(), 2);

    link->setTransferLimit(ModbusLink::MaxTransferBytes);
    EXPECT_EQ(link->Read_Regs(0, 246), 0);
}

TEST_F(LinkTest, TagAndSizeFormatsFollowReadsAtTheirRegisters)
{
    QSignalSpy tag(link.get(), &ModbusLink::deviceTagChanged);
    QSignalSpy sizes(link.get(), &ModbusLink::sizeFormatsSourceRead);
    unit.registers.replace(1156, 7, QByteArray("FT-101\0", 7));
    EXPECT_GT(link->Read_Regs(578, 18), 0);
    EXPECT_EQ(link->DeviceTag(), "FT-101");
    EXPECT_EQ(tag.size(), 1);

    // A read that covers the tag but starts elsewhere leaves it alone.
    unit.registers.replace(1156, 7, QByteArray("OTHER\0\0", 7));
    EXPECT_GT(link->Read_Regs(576, 22), 0);
    EXPECT_EQ(link->DeviceTag(), "FT-101");

    // A tag with no NUL is cut at 19 characters; a failed read does not touch it.
    unit.registers.replace(1156, 24, QByteArray("ABCDEFGHIJKLMNOPQRSTUVWX"));
    EXPECT_GT(link->Read_Regs(578, 24), 0);
    EXPECT_EQ(link->DeviceTag(), "ABCDEFGHIJKLMNOPQRS");
    unit.exception = 4;
    EXPECT_GT(link->Read_Regs(578, 18), 0);
    EXPECT_EQ(link->DeviceTag(), "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(tag.size(), 2);
    unit.exception = 0;

    EXPECT_GT(link->Read_Regs(634, 4), 0);
    EXPECT_EQ(sizes.size(), 0);
    EXPECT_GT(link->Read_Regs(635, 2), 0);
    EXPECT_EQ(sizes.size(), 1);
}

TEST_F(LinkTest, CoilStatesArePackedAsTheUnitSendsThem)
{
    for (int c : {0, 9, 17, 81, 87})
        unit.coils[c] = true;
    EXPECT_TRUE(link->Read_Coil(0, 88));
    EXPECT_EQ(link->frameData().toHex().toStdString(), "0102020000000000000082");
    EXPECT_FALSE(link->Read_Coil(1, 1));
    unit.exception = 2;
    EXPECT_FALSE(link->Read_Coil(0, 1));
}

TEST_F(LinkTest, SkipSetCoilsAndOffValuesNeedNoHandshake)
{
    EXPECT_TRUE(link->Force_Coil(82, ModbusFrame::CoilOn));
    EXPECT_TRUE(link->Force_Coil(48, ModbusFrame::CoilOff));
    link->setCommOverride(true);
    EXPECT_TRUE(link->Force_Coil(48, ModbusFrame::CoilOn));
    link->setCommOverride(false);
    EXPECT_EQ(unit.requests.size(), 3); // no polls of coils 81 and 83
    EXPECT_EQ(forcedCoils(true), (QList<int>{82, 48}));

    // True only when the transmitter answered without an exception; a command coil
    // the unit refused stops procedures as a failed handshake does.
    unit.exception = 3;
    EXPECT_FALSE(link->Force_Coil(82, ModbusFrame::CoilOn));
    EXPECT_FALSE(link->Send_Coil(48, ModbusFrame::CoilOff));
    EXPECT_FALSE(session.abortRequested());
    EXPECT_FALSE(link->Force_Coil(48, ModbusFrame::CoilOn));
    EXPECT_TRUE(session.abortRequested());
}

TEST_F(LinkTest, CommandCoilCompletesWhenTheUnitReportsReady)
{
    unit.onCoilForced = [this](int coil, bool on) {
        if (coil == 48 && on)
            unit.coils[83] = true;
    };
    QSignalSpy cursor(link.get(), &ModbusLink::busyCursor);
    EXPECT_TRUE(link->Force_Coil(48, ModbusFrame::CoilOn));
    QStringList sequence;
    for (const QByteArray &r : unit.requests)
        sequence << QString::fromLatin1(r.toHex());
    EXPECT_EQ(sequence, (QStringList{"01050030ff00", "010100510001", "010100530001", "010500530000"}));
    EXPECT_FALSE(unit.coil(83));
    EXPECT_FALSE(session.abortRequested());
    ASSERT_EQ(cursor.size(), 2);
    EXPECT_TRUE(cursor[0][0].toBool());
    EXPECT_FALSE(cursor[1][0].toBool());
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(LinkTest, BusyAtTheFirstPollFailsTheCommand)
{
    unit.coils[81] = true;
    EXPECT_FALSE(link->Force_Coil(48, ModbusFrame::CoilOn));
    EXPECT_EQ(forcedCoils(false), (QList<int>{81, 48}));
    EXPECT_FALSE(unit.coil(48));
    EXPECT_TRUE(session.abortRequested());
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0] == (RecordingPrompter::Message{UnitBusyText, "Unit Busy", Prompter::Warning, Prompter::OK, 0}));
}

TEST_F(LinkTest, NeitherCoilWithinTheDeadlineFailsTheCommand)
{
    // Each answer takes 250 ms of the handshake's five seconds.
    serial.setResponder([this](const QByteArray &w) {
        clock.advance(250);
        return unit.respond(w);
    });
    EXPECT_FALSE(link->Force_Coil(48, ModbusFrame::CoilOn));
    EXPECT_EQ(forcedCoils(false), (QList<int>{48}));
    const int polls = int(unit.requests.size()) - 2;
    EXPECT_GE(polls, 18);
    EXPECT_LE(polls, 21);
    EXPECT_TRUE(session.abortRequested());
    EXPECT_EQ(prompter.count(UnitBusyText), 1);
}

TEST_F(LinkTest, ASilentUnitDuringTheHandshakeEndsItAtOnce)
{
    unit.onCoilForced = [this](int, bool) { unit.silent = true; };
    serial.setResponder([this](const QByteArray &w) {
        QList<QByteArray> reply = unit.respond(w);
        if (reply.isEmpty())
            later([this] { clock.advance(ModbusLink::NoResponseMs); });
        return reply;
    });
    EXPECT_FALSE(link->Force_Coil(48, ModbusFrame::CoilOn));
    // One poll went unanswered; the closed port ended the loop instead of spinning in it.
    EXPECT_EQ(unit.requests.size(), 2);
    EXPECT_FALSE(link->portOpen());
    EXPECT_TRUE(prompter.shown(QStringLiteral("No response from Unit\rClosing Comm Port")));
    EXPECT_TRUE(prompter.shown(UnitBusyText));
    EXPECT_TRUE(session.abortRequested());
}

TEST(ExceptionText, CodesWithoutANameAreUnknown)
{
    for (int code : {12, 255, -1})
        EXPECT_EQ(ModbusLink::Exception_Text(code), "Unknown Error") << code;
}
