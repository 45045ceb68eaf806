// The program's link against the simulated transmitter in the same process, in
// both framings, on a manual clock that runs one millisecond per pass of the event
// loop (so the transmitter's pacing and the link's time-outs play out in simulated
// time).
#include "SimHarness.h"

#include <QSignalSpy>

using namespace sim;

namespace {
const QString Streaming = QStringLiteral("Ostrel is in Continuous Output mode.\rModbus mode is required to communicate.\r\r"
                                         "      Comm Port closed to prevent \r      Receive Data overflow.\r");
} // namespace

class LinkOnSimulator : public SimLinkTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        SimOptions o;
        o.comm.framing = GetParam();
        o.strictSilence = true; // a request that comes too soon goes unanswered
        start(o, 1);
    }
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
