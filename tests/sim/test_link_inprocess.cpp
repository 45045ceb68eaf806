// The program's link against the simulated transmitter in the same process: every
// operation and every fault mode, on a manual clock that runs one millisecond per
// pass of the event loop (so the transmitter's pacing and the link's time-outs
// play out in simulated time).
#include "SimDevice.h"
#include "SimRegisters.h"
#include "SimSerialControl.h"
#include "SimTransmitter.h"
#include "Simulator.h"

#include "Clock.h"
#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"

#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace sim;

namespace {
const QString NoResponse = QStringLiteral("No response from Unit\rClosing Comm Port");
const QString Streaming = QStringLiteral("Ostrel is in Continuous Output mode.\rModbus mode is required to communicate.\r\r"
                                         "      Comm Port closed to prevent \r      Receive Data overflow.\r");
const QString UnitBusy = QStringLiteral("Unit unable to process request,\rcommand failed.");
} // namespace

class LinkOnSimulator : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        Clock::install(&clock);
        SimOptions o;
        o.comm.framing = framing();
        o.liveValues = false;
        simulator = std::make_unique<Simulator>(o);
        serial = std::make_unique<SimSerialControl>(simulator->transmitter());
        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(serial.get(), &session);
        CommSettings s;
        s.port = QStringLiteral("/dev/sim");
        s.framing = framing();
        s.unitId = 247;
        link->setSettings(s);
        ASSERT_TRUE(link->openPort());
        driver.setInterval(0);
        QObject::connect(&driver, &QTimer::timeout, [this] {
            clock.advance(1);
            if (onTick)
                onTick();
        });
        driver.start();
    }
    void TearDown() override
    {
        driver.stop();
        link.reset();
        serial.reset();
        simulator.reset();
        Clock::install(nullptr);
    }
    int framing() const { return GetParam(); }
    SimDevice &device() { return *simulator->device(); }
    void setFaults(std::function<void(Faults &)> change)
    {
        Faults f = simulator->transmitter()->faults();
        change(f);
        simulator->transmitter()->setFaults(f);
    }
    QByteArray deviceBytes(int reg, int bytes) { return device().image().read(reg, bytes); }

    ManualClock clock;
    RecordingPrompter prompter;
    Session session;
    std::unique_ptr<Simulator> simulator;
    std::unique_ptr<SimSerialControl> serial;
    std::unique_ptr<ModbusLink> link;
    QTimer driver;
    std::function<void()> onTick;
};

TEST_P(LinkOnSimulator, ReadsWritesCoilsAndTheHandshake)
{
    // A whole configuration block and the largest block.
    ASSERT_NE(link->Read_Regs(578, 114), 0);
    EXPECT_EQ(link->LastException(), 0);
    EXPECT_EQ(link->image().read(578, 114), deviceBytes(578, 114));
    EXPECT_EQ(link->DeviceTag(), "FT-101");

    QByteArray command(244, '\0');
    for (int i = 0; i < command.size(); ++i)
        command[i] = char(i * 7 + 1);
    ASSERT_NE(link->Write_Regs(reg::DataIn, command), 0);
    EXPECT_EQ(deviceBytes(reg::DataIn, 244), command);
    ASSERT_NE(link->Read_Regs(reg::DataIn, 244), 0);
    EXPECT_EQ(link->image().read(reg::DataIn, 244), command);

    // A command coil completes through Ready, which the link then clears.
    device().image().setF64At(2 * reg::MassTotal, 42.0);
    EXPECT_TRUE(link->Force_Coil(55, 0xFF00));
    EXPECT_EQ(device().image().f64Reg(reg::MassTotal), 0.0);
    EXPECT_TRUE(device().coil(55));
    EXPECT_FALSE(device().coil(SimDevice::ReadyCoil));
    EXPECT_TRUE(link->Force_Coil(55, 0x0000));
    EXPECT_FALSE(device().coil(55));
    device().setCoil(9, true);
    EXPECT_FALSE(link->Read_Coil(8, 8));
    ASSERT_FALSE(link->frameData().isEmpty());
    EXPECT_EQ(uint8_t(link->frameData().at(0)), 0x02);
    EXPECT_TRUE(link->Read_Coil(9, 1));
    EXPECT_TRUE(prompter.messages.isEmpty());

    // Identification: the version command and the model byte.
    EXPECT_TRUE(link->Force_Coil(61, 0xFF00));
    ASSERT_NE(link->Read_Regs(0, 244), 0);
    EXPECT_EQ(link->image().u8At(26), 'N');
}

TEST_P(LinkOnSimulator, AddressFramingAndLineChangeAsTheSettingsWindowDoesIt)
{
    // New address: written, then the PC follows.
    const QByteArray nine("\x09\x00", 2);
    ASSERT_NE(link->Write_Regs(reg::ModbusAddr, nine), 0);
    link->setUnitId(9);
    ASSERT_NE(link->Read_Regs(0, 2), 0);

    // New framing: written in the old framing, the coil sent in the new one.
    const int other = 1 - framing();
    ASSERT_NE(link->Write_Regs(reg::ModbusMode, QByteArray(1, char(other)) + '\0'), 0);
    link->setFraming(other);
    EXPECT_TRUE(link->Send_Coil(48, 0xFF00));
    ASSERT_NE(link->Read_Regs(578, 18), 0);
    EXPECT_EQ(device().comm().framing, other);

    // New line speed: the coil's reply comes at the old speed, its handshake at the new.
    ASSERT_NE(link->Read_Regs(reg::Sci, 8), 0);
    QByteArray record = link->image().read(reg::Sci, 8);
    record[0] = 8; // 19200
    ASSERT_NE(link->Write_Regs(reg::Sci, record), 0);
    EXPECT_TRUE(link->Send_Coil(48, 0xFF00));
    QString error;
    ASSERT_TRUE(serial->applySettings(QStringLiteral("19200,N,8,1"), &error));
    EXPECT_TRUE(link->Finish_Coil(48, 0xFF00));
    EXPECT_EQ(device().comm().line.baud, 19200);
    EXPECT_TRUE(prompter.messages.isEmpty());

    // A PC left at the old speed hears nothing.
    ASSERT_TRUE(serial->applySettings(QStringLiteral("9600,N,8,1"), &error));
    EXPECT_EQ(link->Read_Regs(578, 18), 0);
    EXPECT_TRUE(prompter.shown(NoResponse));
    EXPECT_FALSE(link->portOpen());
}

TEST_P(LinkOnSimulator, SilenceAndSlowTurnaroundEndInTheNoResponsePath)
{
    simulator->transmitter()->setTurnaroundMs(300);
    EXPECT_NE(link->Read_Regs(578, 18), 0) << "slow but in time";
    simulator->transmitter()->setTurnaroundMs(ModbusLink::NoResponseMs + 500);
    const QByteArray before = link->image().read(252, 18);
    EXPECT_EQ(link->Read_Regs(252, 18), 0);
    EXPECT_TRUE(prompter.shown(NoResponse));
    EXPECT_FALSE(link->portOpen());
    EXPECT_EQ(link->image().read(252, 18), before);

    simulator->transmitter()->setTurnaroundMs(0);
    setFaults([](Faults &f) { f.noReply = true; });
    ASSERT_TRUE(link->openPort());
    EXPECT_FALSE(link->Force_Coil(61, 0xFF00));
    EXPECT_EQ(prompter.count(NoResponse), 2);
    EXPECT_EQ(link->PortState(), "Closed");
}

TEST_P(LinkOnSimulator, ExceptionsAndBadChecksumsLeaveTheImageAlone)
{
    QSignalSpy status(link.get(), &ModbusLink::statusText);
    link->image().store(578, QByteArray(18, 'x'));
    setFaults([](Faults &f) {
        f.exceptionCode = 2;
        f.exceptionFirst = 580;
        f.exceptionLast = 580;
    });
    EXPECT_NE(link->Read_Regs(578, 18), 0);
    EXPECT_EQ(link->LastException(), 2);
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status.last().at(0).toString(), "Illegal Data Address");
    EXPECT_EQ(link->image().read(578, 18), QByteArray(18, 'x'));
    EXPECT_NE(link->Read_Regs(600, 4), 0);
    EXPECT_EQ(link->LastException(), 0) << "outside the range";

    setFaults([](Faults &f) {
        f = Faults();
        f.corruptChecksum = true;
    });
    link->Read_Regs(578, 18);
    EXPECT_EQ(link->LastException(), 12);
    EXPECT_TRUE(link->ReplyCorrupt()) << "a damaged reply, not the unit's exception";
    EXPECT_EQ(status.last().at(0).toString(), "Checksum or framing error in the reply");
    EXPECT_EQ(link->image().read(578, 18), QByteArray(18, 'x'));
    EXPECT_TRUE(link->portOpen());
}

TEST_P(LinkOnSimulator, RepliesInSegmentsAreReassembled)
{
    setFaults([](Faults &f) {
        f.segments = 4;
        f.segmentGapMs = 150;
    });
    ASSERT_NE(link->Read_Regs(578, 114), 0);
    EXPECT_EQ(link->LastException(), 0);
    EXPECT_EQ(link->image().read(578, 114), deviceBytes(578, 114));
    QByteArray data(20, 'k');
    ASSERT_NE(link->Write_Regs(reg::DataIn, data), 0);
    EXPECT_EQ(deviceBytes(reg::DataIn, 20), data);
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_P(LinkOnSimulator, ContinuousOutputClosesThePortWithANotice)
{
    setFaults([](Faults &f) { f.streaming = true; });
    link->image().store(578, QByteArray(18, 'x'));
    QSignalSpy status(link.get(), &ModbusLink::statusText);
    // Requests one after another, with no pause for stray text to pile up between them.
    int requests = 0;
    for (; requests < 20 && link->portOpen(); ++requests)
        EXPECT_EQ(link->Read_Regs(578, 18), 0);
    EXPECT_EQ(requests, 1) << "the first request notices the stream";
    EXPECT_EQ(prompter.count(Streaming), 1);
    EXPECT_FALSE(serial->isOpen());
    EXPECT_EQ(link->PortState(), "Closed");
    EXPECT_TRUE(link->ReplyDone());
    EXPECT_EQ(link->image().read(578, 18), QByteArray(18, 'x'));
    for (const QList<QVariant> &s : status)
        EXPECT_NE(s[0].toString(), "Unknown Error");
}

TEST_P(LinkOnSimulator, ACommandThatStaysBusyFailsAndAborts)
{
    setFaults([](Faults &f) { f.stuckBusyCoil = 55; });
    EXPECT_FALSE(link->Force_Coil(55, 0xFF00));
    EXPECT_TRUE(prompter.shown(UnitBusy));
    EXPECT_EQ(prompter.messages.last().title, "Unit Busy");
    EXPECT_TRUE(session.abortRequested());
    EXPECT_FALSE(device().coil(55)) << "the command coil is forced off again";
    EXPECT_FALSE(device().coil(SimDevice::BusyCoil));
    EXPECT_TRUE(link->portOpen());
}

INSTANTIATE_TEST_SUITE_P(Framing, LinkOnSimulator, ::testing::Values(0, 1),
                         [](const auto &info) { return info.param ? "Rtu" : "Ascii"; });
