// Command procedures end to end: the command area, the coil wait and a timed
// procedure of the simulated transmitter, on a manual clock driven from the
// event loop (so the waits run in simulated time).
#include "SimHarness.h"
#include "SimProcedure.h"
#include "SimRegisters.h"

#include "CoilWait.h"
#include "CommandArea.h"

using namespace sim;

namespace {

constexpr int TestCoil = 77;

// Runs for as many seconds as the first command-area word says and then leaves
// that word doubled in the results; refuses a zero.
class DoublingProcedure final : public SimProcedure {
public:
    int cancels = 0;

protected:
    bool begin(SimDevice &d) override
    {
        m_seconds = d.image().reg(reg::DataIn);
        return m_seconds != 0;
    }
    bool step(SimDevice &, qint64 elapsedMs) override { return elapsedMs >= m_seconds * 1000; }
    void complete(SimDevice &d) override { d.image().setU16At(2 * reg::DataOut, uint16_t(2 * m_seconds)); }
    void cancelled(SimDevice &) override { ++cancels; }

private:
    int m_seconds = 0;
};

class CoilWaitTest : public SimLinkTest {
protected:
    void SetUp() override
    {
        start({}, 10);
        auto p = std::make_unique<DoublingProcedure>();
        procedure = p.get();
        device().addCommand(TestCoil, std::move(p));
    }
    SimDevice &device() { return *simulator->device(); }
    CoilWait::Result runFor(int seconds, std::function<void(CoilWait &)> setUp = {})
    {
        CommandArea area(*link);
        EXPECT_TRUE(area.setU16(0, uint16_t(seconds)));
        EXPECT_TRUE(area.write());
        CoilWait wait(*link, TestCoil);
        if (setUp)
            setUp(wait);
        return wait.start();
    }

    DoublingProcedure *procedure = nullptr;
};

} // namespace

TEST_F(CoilWaitTest, CommandAreaIsOneSharedBufferWrittenWhole)
{
    CommandArea first(*link);
    ASSERT_TRUE(first.setF64(8, 1.5));
    CommandArea second(*link);
    ASSERT_TRUE(second.setU16(0, 0x1234));
    EXPECT_FALSE(second.setF64(240, 1.0));      // would end past byte 244
    EXPECT_FALSE(second.setU16(-1, 1));
    ASSERT_TRUE(second.write());
    // Words the second command did not set keep what the first one put there.
    EXPECT_EQ(device().image().reg(reg::DataIn), 0x1234);
    EXPECT_EQ(device().image().f64At(2 * reg::DataIn + 8), 1.5);

    session.setAccessLevel(Session::Viewer);
    EXPECT_FALSE(second.write()) << "a write that was never sent is not a success";
}

TEST_F(CoilWaitTest, FinishesWithResultsWhenTheTransmitterClearsTheCoil)
{
    qint64 lastTick = -1;
    const qint64 started = clock.nowMs();
    EXPECT_EQ(runFor(3, [&](CoilWait &w) { w.setOnTick([&](qint64 e) { lastTick = e; }); }),
              CoilWait::Result::Finished);
    EXPECT_GE(clock.nowMs() - started, 3000);
    EXPECT_GE(lastTick, 2750);
    CommandArea area(*link);
    ASSERT_TRUE(area.readResults(2));
    EXPECT_EQ(link->image().reg(0), 6);
    EXPECT_FALSE(device().coil(TestCoil));
}

TEST_F(CoilWaitTest, EveryWayAWaitCanFailIsAFailure)
{
    // A refused start (Busy at the handshake).
    EXPECT_EQ(runFor(0), CoilWait::Result::Refused);
    session.setAbort(false);

    // An overrun: the coil never clears before the deadline.
    device().setOverrunCoil(TestCoil);
    EXPECT_EQ(runFor(2, [](CoilWait &w) { w.setDeadlineMs(5000); }), CoilWait::Result::TimedOut);
    EXPECT_TRUE(device().coil(TestCoil));
    link->Force_Coil(TestCoil, 0);
    EXPECT_EQ(procedure->cancels, 1) << "forcing the coil off cancels the run";
    device().setOverrunCoil(-1);

    // Escape during the run; the Abort coil then cancels it in the transmitter.
    EXPECT_EQ(runFor(5, [&](CoilWait &w) { w.setOnTick([&](qint64 e) { session.setAbort(e > 1000); }); }),
              CoilWait::Result::Aborted);
    EXPECT_TRUE(device().coil(TestCoil));
    EXPECT_TRUE(link->Force_Coil(SimDevice::AbortCoil, 0xFF00));
    EXPECT_FALSE(device().coil(TestCoil));
    EXPECT_EQ(procedure->cancels, 2);
    session.setAbort(false);

    // The port closing mid-run is never taken for a finished step.
    EXPECT_EQ(runFor(5, [&](CoilWait &w) { w.setOnTick([&](qint64 e) { if (e > 1000) link->closePort(); }); }),
              CoilWait::Result::NoReply);
    EXPECT_EQ(link->readCoilState(TestCoil), ModbusLink::CoilState::NoReply);
}
