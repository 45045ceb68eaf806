// The simulated transmitter answering raw Modbus frames, as a master on the wire sees it.
#include "SimHarness.h"
#include "SimRegisters.h"

#include "DefaultImage.h"

using namespace sim;

namespace {

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

SimOptions unitOne(int framing = 0)
{
    SimOptions o;
    o.comm.unitId = 1;
    o.comm.framing = framing;
    o.pacing = false;
    return o;
}

} // namespace

class SimDeviceTest : public SimHarness {};

TEST_F(SimDeviceTest, AnswersBadRequestsWithExceptionsInBothFramings)
{
    for (int framing : {0, 1}) {
        SCOPED_TRACE(framing);
        make(unitOne(framing));
        const auto ask = [&](const char *request) {
            const QByteArray raw = hex(request);
            return exchange(framing ? rtuFrame(raw) : asciiFrame(raw));
        };
        const auto expect = [&](const char *reply) {
            const QByteArray raw = hex(reply);
            return framing ? rtuFrame(raw) : asciiFrame(raw);
        };
        EXPECT_EQ(ask("01040000000A"), expect("018401")) << "function 4 is not served";
        EXPECT_EQ(ask("01060000000A"), expect("018601"));
        EXPECT_EQ(ask("01030D480003"), expect("018302")) << "3400..3402 runs past the image";
        EXPECT_EQ(ask("01030D480002").size(), framing ? 9 : 19) << "3400..3401 is the end of the image";
        EXPECT_EQ(ask("010300000000"), expect("018303")) << "zero registers";
        EXPECT_EQ(ask("01030000007E"), expect("018303")) << "126 registers";
        EXPECT_EQ(ask("0110000A000306DEADBEEF0000"), expect("0110000A0003"));
        EXPECT_EQ(ask("0110000A000204DEAD"), expect("019003")) << "fewer data bytes than counted";
        EXPECT_EQ(ask("0110000A000206DEADBEEF0000"), expect("019003")) << "byte count disagrees";
        EXPECT_EQ(ask("01050058FF00"), expect("018502")) << "coil 88 does not exist";
        EXPECT_EQ(ask("010500051234"), expect("018503")) << "coil value other than on/off";
        EXPECT_EQ(ask("010100500009"), expect("018102")) << "coils 80..88";
        EXPECT_EQ(ask("010100000000"), expect("018103"));
    }
}

// Under strict silence an RTU request that starts sooner than 3.5 characters (1.75 ms
// above 19200 baud) after the reply ended is dropped unanswered; one that waits is served.
TEST_F(SimDeviceTest, StrictSilenceDropsARequestThatFollowsTheReplyTooSoon)
{
    for (const auto &[baud, silenceUs] : {std::pair{9600, 3646}, std::pair{115200, 1750}}) {
        SCOPED_TRACE(baud);
        SimOptions o = unitOne(1);
        o.pacing = true;
        o.comm.line.baud = baud;
        o.strictSilence = true;
        make(o);
        const QByteArray read = rtuFrame(hex("010302420001"));
        qint64 replyEndUs = 0;
        for (qint64 startUs : {qint64(0), qint64(silenceUs - 100), qint64(silenceUs + 100)}) {
            output.clear();
            const qsizetype before = tx()->repliesSent();
            clock.advanceUs(std::max<qint64>(0, replyEndUs + startUs - clock.nowUs()));
            tx()->receive(read);
            // Run in small steps until the reply is out, so its end is known to the step.
            for (int step = 0; step < 4000 && output.size() < 7; ++step) {
                clock.advanceUs(10);
                QCoreApplication::processEvents();
            }
            const bool answered = tx()->repliesSent() > before;
            if (answered)
                replyEndUs = clock.nowUs();
            EXPECT_EQ(answered, startUs != silenceUs - 100) << startUs;
        }
        EXPECT_EQ(tx()->earlyRequestsDropped(), 1);
    }
}

TEST_F(SimDeviceTest, AnswersOnlyItsOwnUnitId)
{
    make(unitOne());
    EXPECT_TRUE(exchange(asciiFrame(hex("020300000001"))).isEmpty());
    EXPECT_FALSE(exchange(asciiFrame(hex("010300000001"))).isEmpty());
    // Broadcast writes are carried out without a reply; other broadcasts are ignored.
    EXPECT_TRUE(exchange(asciiFrame(hex("00100064000204CAFEF00D"))).isEmpty());
    EXPECT_EQ(device().image().u32At(2 * 100), 0xCAFEF00Du);
    EXPECT_TRUE(exchange(asciiFrame(hex("00050037FF00"))).isEmpty());
    EXPECT_TRUE(device().coil(55));
    EXPECT_TRUE(exchange(asciiFrame(hex("000300640002"))).isEmpty());
    EXPECT_TRUE(exchange(asciiFrame(hex("000100370001"))).isEmpty());
    // A broadcast new address is taken at once.
    EXPECT_TRUE(exchange(asciiFrame(hex("001009610001020C00"))).isEmpty());
    EXPECT_FALSE(exchange(asciiFrame(hex("0C0300000001"))).isEmpty());
    CommConfig c = device().comm();
    c.unitId = 200;
    device().setComm(c);
    EXPECT_EQ(device().image().u8At(2 * reg::ModbusAddr), 200);
    EXPECT_TRUE(exchange(asciiFrame(hex("010300000001"))).isEmpty());
    EXPECT_FALSE(exchange(asciiFrame(hex("C80300000001"))).isEmpty());
}

TEST_F(SimDeviceTest, CommandCoilsRunTheirCommandAndReportCompletion)
{
    make(unitOne());
    SimDevice &d = device();
    d.image().setF64At(2 * reg::MassTotal, 123.0);
    d.image().setF64At(2 * reg::VolumeTotal, 456.0);
    d.forceCoil(55, true);
    EXPECT_EQ(d.image().f64Reg(reg::MassTotal), 0.0);
    EXPECT_EQ(d.image().f64Reg(reg::VolumeTotal), 456.0);
    EXPECT_TRUE(d.coil(SimDevice::ReadyCoil));
    EXPECT_FALSE(d.coil(SimDevice::BusyCoil));

    // Forcing off, and coils outside the handshake, leave Ready alone.
    d.setCoil(SimDevice::ReadyCoil, false);
    d.forceCoil(55, false);
    d.forceCoil(SimDevice::AbortCoil, true);
    d.forceCoil(79, true);
    EXPECT_FALSE(d.coil(SimDevice::ReadyCoil));

    // A stuck command stays Busy and never gets Ready.
    d.setStuckBusyCoil(31);
    d.forceCoil(31, true);
    EXPECT_TRUE(d.coil(SimDevice::BusyCoil));
    EXPECT_FALSE(d.coil(SimDevice::ReadyCoil));

    // Erasing the error log leaves pointer 48 and no entries.
    d.forceCoil(54, true);
    EXPECT_EQ(d.image().reg(reg::ErrorLog), 48);
    EXPECT_EQ(d.image().read(reg::ErrorLog + 1, 96), QByteArray(96, '\0'));
}

TEST_F(SimDeviceTest, VersionCommandTellsTheModel)
{
    for (char letter : {'N', 'R'}) {
        SimOptions o = unitOne();
        o.modelLetter = letter;
        make(o);
        device().forceCoil(61, true);
        EXPECT_EQ(device().image().u8At(26), uint8_t(letter));
        EXPECT_FALSE(device().image().textAt(0, 6).isEmpty());
        EXPECT_EQ(device().image().textAt(26, 12).size(), 8);
    }
}

TEST_F(SimDeviceTest, NewAddressFramingAndLineTakeEffectAfterTheReply)
{
    make(unitOne());
    // Serial record: 19200 baud, even parity; nothing changes before coil 48.
    EXPECT_FALSE(exchange(asciiFrame(hex("01100966000408" "08020100000203" "00"))).isEmpty());
    EXPECT_EQ(device().comm().line.baud, 9600);
    const QByteArray ack = exchange(asciiFrame(hex("01050030FF00")));
    EXPECT_EQ(ack, asciiFrame(hex("01050030FF00"))) << "the reply goes out at the old settings";
    EXPECT_EQ(device().comm().line.text(), "19200,E,8,1");

    // The address is taken as soon as it is written, after the reply.
    EXPECT_EQ(exchange(asciiFrame(hex("011009610001020900"))), asciiFrame(hex("011009610001")));
    EXPECT_EQ(device().comm().unitId, 9);
    EXPECT_TRUE(exchange(asciiFrame(hex("010300000001"))).isEmpty());

    // So is the framing: the write is answered in ASCII, the next request must be RTU.
    EXPECT_EQ(exchange(asciiFrame(hex("091009620001020100"))), asciiFrame(hex("091009620001")));
    EXPECT_TRUE(exchange(asciiFrame(hex("090300000001"))).isEmpty());
    EXPECT_EQ(exchange(rtuFrame(hex("09010053" "0001"))), rtuFrame(hex("09010101")));

    // An out-of-list position keeps the current parameter.
    device().image().setU8At(2 * reg::Sci, 99);
    device().loadCommFromRegisters();
    EXPECT_EQ(device().comm().line.baud, 19200);
}

TEST_F(SimDeviceTest, LoadDefaultsKeepsTheSerialInterfaceAndRebootGoesQuiet)
{
    SimOptions o = unitOne();
    o.comm.line.baud = 38400;
    make(o);
    device().image().setTextAt(2 * 578, 20, QStringLiteral("CHANGED"));
    EXPECT_FALSE(exchange(asciiFrame(hex("01050029FF00"))).isEmpty());
    EXPECT_EQ(device().image().textAt(2 * 578, 20), QString::fromLatin1(DefaultImage::Tag));
    EXPECT_EQ(device().image().u8At(2 * reg::ModbusAddr), 1);
    EXPECT_EQ(device().comm().line.baud, 38400);

    EXPECT_FALSE(exchange(asciiFrame(hex("01050028FF00"))).isEmpty()) << "the reboot is acknowledged first";
    EXPECT_TRUE(exchange(asciiFrame(hex("010300000001")), SimDevice::RebootMs - 100).isEmpty());
    run(200);
    EXPECT_FALSE(exchange(asciiFrame(hex("010300000001"))).isEmpty());
}

TEST_F(SimDeviceTest, DateAndTimeTravelAsDigitTexts)
{
    make(unitOne());
    SimDevice &d = device();
    d.image().setTextAt(2 * reg::DataIn, 244, QStringLiteral("120526"));
    d.forceCoil(35, true);
    d.forceCoil(34, true);
    EXPECT_EQ(d.image().textAt(0, 244), "120526");
    d.image().setTextAt(2 * reg::DataIn, 244, QStringLiteral("235958"));
    d.forceCoil(33, true);
    d.forceCoil(32, true);
    EXPECT_TRUE(d.image().textAt(0, 244).startsWith("2359")) << d.image().textAt(0, 244).toStdString();
    // Nonsense leaves the clock alone.
    d.image().setTextAt(2 * reg::DataIn, 244, QStringLiteral("999999"));
    d.forceCoil(35, true);
    d.forceCoil(34, true);
    EXPECT_EQ(d.image().textAt(0, 244), "120526");
}

TEST_F(SimDeviceTest, PacingFollowsTheWireTimeOfRequestAndReply)
{
    SimOptions o = unitOne();
    o.pacing = true; // 9600,N,8,1: 10 bits a character
    make(o);
    const QByteArray request = asciiFrame(hex("010300000001")); // 17 characters
    const qint64 t0 = clock.nowMs();
    exchange(request, 100);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(output.size(), 15);
    // Request fully in after 17.7 ms, first reply byte a character later; the
    // last byte at 17.7 + 15.6 = 33.3 ms (times in whole milliseconds elapsed).
    EXPECT_GE(chunks.front().at - t0, 18);
    EXPECT_EQ(chunks.back().at - t0, 33);
    EXPECT_GT(chunks.size(), 1u) << "output leaves in pieces, not all at once";

    tx()->setTurnaroundMs(50);
    const qint64 t1 = clock.nowMs();
    exchange(request, 200);
    EXPECT_EQ(chunks.back().at - t1, 83);

    // 8E1 characters have 11 bits: 32 characters take 36.7 ms.
    CommConfig c = device().comm();
    c.line.parity = 'E';
    device().setComm(c);
    tx()->setTurnaroundMs(0);
    const qint64 t2 = clock.nowMs();
    exchange(request, 100);
    EXPECT_EQ(chunks.back().at - t2, 36);
}

TEST_F(SimDeviceTest, RtuFrameOfUnknownLengthEndsAfterSilence)
{
    SimOptions o = unitOne(1);
    o.pacing = true;
    make(o);
    const QByteArray request = rtuFrame(hex("0107")); // 4 bytes
    const qint64 t0 = clock.nowMs();
    EXPECT_EQ(exchange(request, 50), rtuFrame(hex("018701")));
    // 4.2 ms on the wire, 3.6 ms of silence, 5 reply bytes of 1.04 ms.
    EXPECT_EQ(chunks.back().at - t0, 13);
}

TEST_F(SimDeviceTest, FaultsChangeWhatTheMasterReceives)
{
    make(unitOne());
    const QByteArray readTag = asciiFrame(hex("010302420009"));
    const QByteArray normal = exchange(readTag);

    Faults f;
    f.exceptionCode = 4;
    f.exceptionFirst = 580;
    f.exceptionLast = 600;
    tx()->setFaults(f);
    EXPECT_EQ(exchange(readTag), asciiFrame(hex("018304"))) << "578..586 touches 580";
    EXPECT_EQ(exchange(asciiFrame(hex("011002580001020042"))), asciiFrame(hex("019004")));
    EXPECT_NE(device().image().reg(600), 0x0042) << "a refused write changes nothing";
    EXPECT_EQ(exchange(asciiFrame(hex("010302420001"))).size(), 15) << "578 alone is outside";

    f = Faults();
    f.corruptChecksum = true;
    tx()->setFaults(f);
    const QByteArray spoiled = exchange(readTag);
    EXPECT_EQ(spoiled.size(), normal.size());
    EXPECT_NE(spoiled, normal);
    EXPECT_EQ(spoiled.left(spoiled.size() - 4), normal.left(normal.size() - 4));

    f = Faults();
    f.segments = 3;
    f.segmentGapMs = 40;
    tx()->setFaults(f);
    EXPECT_EQ(exchange(readTag, 300), normal);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_GE(chunks[1].at - chunks[0].at, 40);
    EXPECT_GE(chunks[2].at - chunks[1].at, 40);

    f = Faults();
    f.noReply = true;
    tx()->setFaults(f);
    EXPECT_TRUE(exchange(readTag).isEmpty());

    tx()->setFaults(Faults());
    EXPECT_EQ(exchange(readTag), normal);
}

TEST_F(SimDeviceTest, ContinuousOutputFloodsTheLineUntilSwitchedOff)
{
    SimOptions o = unitOne();
    o.pacing = true;
    make(o);
    Faults f;
    f.streaming = true;
    tx()->setFaults(f);
    const QByteArray flood = exchange(asciiFrame(hex("010300000001")), 1000);
    EXPECT_GT(flood.size(), 511);
    EXPECT_LE(flood.size(), 960) << "paced at 9600 baud";
    EXPECT_FALSE(flood.contains(asciiFrame(hex("01030200"))));

    tx()->setFaults(Faults());
    run(100);
    EXPECT_EQ(exchange(asciiFrame(hex("010300000001")), 100).size(), 15);

    // The protocol setting does the same: continuous output after the protocol reset.
    EXPECT_FALSE(exchange(asciiFrame(hex("011009650001020400")), 100).isEmpty());
    EXPECT_FALSE(exchange(asciiFrame(hex("01050034FF00")), 100).isEmpty());
    EXPECT_GT(exchange(QByteArray(), 1000).size(), 511);
}
