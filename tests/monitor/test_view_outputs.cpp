#include "PollCycle.h"
#include "SimWindowTest.h"
#include "Clock.h"
#include "WidgetQuery.h"
#include "frmViewOutputs.h"

#include <memory>

namespace {
constexpr int Ao[] = {881, 915, 949};
constexpr int Pulse = 983;
}  // namespace

class ViewOutputsTest : public SimWindowTest {
protected:
    void SetUp() override
    {
        SimWindowTest::SetUp();
        regs().setU8At(2 * 680, 4);     // mass rate kg/min
        regs().setU8At(2 * 1707 + 8, 0);  // net oil measured as volume
        for (int block : Ao)
            regs().setU8At(2 * block + 66, 0);
        regs().setU8At(2 * Pulse, 0);
    }
    void driveAnalog(int output, int code) { regs().setU8At(2 * Ao[output] + 66, uint8_t(code)); }
    void drivePulse(int code) { regs().setU8At(2 * Pulse, uint8_t(code)); }
    std::unique_ptr<TfrmViewOutputs> openView() { return openOnLink<TfrmViewOutputs>(); }
};

TEST_F(ViewOutputsTest, AnalogOutputsShowTheirParameterCurrentAndRange)
{
    driveAnalog(0, 5);
    regs().setF64At(2 * 881 + 16, 1.0);
    regs().setF64At(2 * 881 + 24, 12.3456);
    regs().setF64At(2 * 881 + 32, 48.126);
    driveAnalog(1, 21);
    regs().setU16At(2 * 915 + 40, 4000);
    driveAnalog(2, 50);
    regs().setF64At(2 * 949 + 16, 12.5);
    auto w = openView();

    EXPECT_EQ(textOf(w.get(), "lblAo1Param"), "Mass Flow:");
    EXPECT_EQ(textOf(w.get(), "lblAo1Unit"), "kg/min");
    EXPECT_NEAR(numberOf(w.get(), "txtAo1Value"), 27.21554244, 1e-4);
    EXPECT_EQ(textOf(w.get(), "txtAo1Current").trimmed(), "12.346");
    EXPECT_EQ(textOf(w.get(), "txtAo1Pcnt").trimmed(), "48.13");

    EXPECT_EQ(textOf(w.get(), "lblAo2Param"), "Keyboard Data:");
    EXPECT_EQ(textOf(w.get(), "txtAo2Value"), "0FA0");

    EXPECT_EQ(textOf(w.get(), "lblAo4Param"), "% Water Cut:");
    EXPECT_EQ(textOf(w.get(), "lblAo4Unit"), " %");
    EXPECT_NEAR(numberOf(w.get(), "txtAo4Value"), 12.5, 1e-3);

    // A net-oil rate takes the net-oil quantity and its own unit.
    regs().setU8At(2 * 1707 + 8, 1);  // net oil measured as mass
    regs().setU8At(2 * 1673, 1);      // lb/min
    driveAnalog(0, 14);
    regs().setF64At(2 * 881 + 16, 2.0);
    auto netOil = openView();
    EXPECT_EQ(textOf(netOil.get(), "lblAo1Param"), "Net Oil Rate:");
    EXPECT_EQ(textOf(netOil.get(), "lblAo1Unit"), "lb/min");
    EXPECT_NEAR(numberOf(netOil.get(), "txtAo1Value"), 120.0, 1e-3);
}

TEST_F(ViewOutputsTest, PulseOnAReverseTotalShowsTheDifferenceInTheTotalUnit)
{
    drivePulse(39);
    regs().setF64At(2 * 244, 120.0);
    regs().setF64At(2 * 248, 100.0);
    regs().setF64At(2 * Pulse + 18, 10.0);
    regs().setF64At(2 * 532 + 8, 1234.5);
    auto w = openView();
    EXPECT_EQ(textOf(w.get(), "lblPulseParam"), "Mass Total Rev:");
    EXPECT_NEAR(numberOf(w.get(), "txtPulseValue"), 20 * 0.453592374, 1e-3);
    EXPECT_EQ(textOf(w.get(), "lblPulseUnit"), "kg");
    EXPECT_EQ(textOf(w.get(), "lblPulseFreq"), "Pulses/Unit:");
    EXPECT_EQ(textOf(w.get(), "txtPulseCurrent"), "10.00");
    EXPECT_EQ(textOf(w.get(), "lblFreqUnit"), "/kg");
    EXPECT_EQ(textOf(w.get(), "lblPulsePcnt"), "#Pulses:");
    EXPECT_EQ(textOf(w.get(), "txtPulsePcnt"), "1234.50");
}

TEST_F(ViewOutputsTest, PulseOnARateShowsItsPercentOfRange)
{
    drivePulse(5);
    regs().setF64At(2 * 252, 2.5);
    regs().setF64At(2 * Pulse + 2, 0.0);
    regs().setF64At(2 * Pulse + 10, 10.0);
    regs().setF64At(2 * Pulse + 34, 77.0);
    regs().setF64At(2 * 532, 321.25);
    auto w = openView();
    EXPECT_EQ(textOf(w.get(), "lblPulseFreq"), "Frequency:");
    EXPECT_NEAR(numberOf(w.get(), "txtPulseCurrent"), 321.25, 1e-6);
    EXPECT_EQ(textOf(w.get(), "lblPulsePcnt"), "Pulse % Range:");
    EXPECT_NEAR(numberOf(w.get(), "txtPulsePcnt"), 25.0, 1e-6);
    EXPECT_NEAR(numberOf(w.get(), "txtPulseValue"), 2.5 * 27.21554244, 1e-3);
    EXPECT_EQ(textOf(w.get(), "lblFreqUnit"), "");

    // An empty range cannot give a percentage: the transmitter's own one is shown.
    regs().setF64At(2 * Pulse + 10, 0.0);
    emit w->pollCycle().timer().timeout();
    EXPECT_NEAR(numberOf(w.get(), "txtPulsePcnt"), 77.0, 1e-6);
}

TEST_F(ViewOutputsTest, PulseOnKeyboardDataShowsItsPulses)
{
    drivePulse(21);
    regs().setU16At(2 * Pulse + 50, 0);
    regs().setF64At(2 * Pulse + 42, 50.0);
    auto w = openView();
    EXPECT_EQ(textOf(w.get(), "txtPulseValue"), "0000");
    EXPECT_EQ(textOf(w.get(), "txtPulsePcnt"), "Continuous");
    EXPECT_NEAR(numberOf(w.get(), "txtPulseCurrent"), 50.0, 1e-6);

    regs().setU16At(2 * Pulse + 50, 4000);
    regs().setF64At(2 * 532 + 8, 17.0);
    emit w->pollCycle().timer().timeout();
    EXPECT_EQ(textOf(w.get(), "txtPulseValue"), "0FA0");
    EXPECT_EQ(textOf(w.get(), "txtPulsePcnt"), "17.00");
}
