// The program's link against the simulated transmitter in the same process, in
// both framings, on a manual clock that runs one millisecond per pass of the event
// loop (so the transmitter's pacing and the link's time-outs play out in simulated
// time).
#include "SimDevice.h"
#include "SimRegisters.h"
#include "SimSerialControl.h"
#include "SimTransmitter.h"
#include "Simulator.h"

#include "InstalledClock.h"
#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using namespace sim;

namespace {
const QString Streaming = QStringLiteral("Ostrel is in Continuous Output mode.\rModbus mode is required to communicate.\r\r"
                                         "      Comm Port closed to prevent \r      Receive Data overflow.\r");
} // namespace

class LinkOnSimulator : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        SimOptions o;
        o.comm.framing = framing();
        o.liveValues = false;
        o.strictSilence = true; // a request that comes too soon goes unanswered
        simulator = std::make_unique<Simulator>(o);
        serial = std::make_unique<SimSerialControl>(simulator->transmitter());
        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(serial.get(), &session);
        link->setSettings({.port = QStringLiteral("/dev/sim"), .framing = framing(), .unitId = 247});
        ASSERT_TRUE(link->openPort());
    }
    int framing() const { return GetParam(); }

    InstalledClock clock{1}; // first in, last out
    RecordingPrompter prompter;
    Session session;
    std::unique_ptr<Simulator> simulator;
    std::unique_ptr<SimSerialControl> serial;
    std::unique_ptr<ModbusLink> link;
};

TEST_P(LinkOnSimulator, ContinuousOutputClosesThePortWithANotice)
{
    Faults streaming;
    streaming.streaming = true;
    simulator->transmitter()->setFaults(streaming);
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

// Requests back to back, reads and writes: the link keeps the silent interval, so a
// strict unit answers every one.
TEST_P(LinkOnSimulator, BackToBackRequestsAllReachAStrictUnit)
{
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(link->readRegisters(578, 20)) << i;
        EXPECT_TRUE(link->writeRegisters(600, QByteArray::fromHex("00010002"))) << i;
    }
    EXPECT_EQ(simulator->transmitter()->earlyRequestsDropped(), 0);
    EXPECT_TRUE(prompter.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Framing, LinkOnSimulator, ::testing::Values(0, 1),
                         [](const auto &info) { return info.param ? "Rtu" : "Ascii"; });
