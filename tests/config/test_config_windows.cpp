#include "ConfigWindow.h"
#include "SimWindowTest.h"
#include "SimTransmitter.h"
#include "TfrmFlowDirection.h"
#include "TfrmXmitVars.h"
#include "WidgetQuery.h"

#include <QPushButton>

#include <functional>
#include <memory>

namespace {

// A configuration window on the in-process simulated transmitter.
class ConfigWindowTest : public SimWindowTest {
protected:
    WindowContext context() { return {*link, session, nullptr, [this](const QString &t) { status = t; }, {}}; }

    template <typename W>
    std::unique_ptr<W> openWindow()
    {
        auto w = std::make_unique<W>(context());
        open(w.get());
        return w;
    }

    static void type(QWidget *window, const char *field, const QString &text)
    {
        auto *edit = control<QLineEdit>(window, field);
        edit->setText(text);
        emit edit->editingFinished();
    }
    static void click(QWidget *window, const char *button)
    {
        auto *b = control<QPushButton>(window, button);
        ASSERT_TRUE(b->isEnabled()) << button;
        b->click();
        settle();
    }
    void refuse(int first, int last)
    {
        sim::Faults f;
        f.exceptionCode = 4;
        f.exceptionFirst = first;
        f.exceptionLast = last;
        simulator->transmitter()->setFaults(f);
    }

    QString status;
};

// What every configuration window must do when the transmitter cannot be read or
// written: leave it as it was and say so.
struct WindowCase {
    const char *name;
    std::function<std::unique_ptr<ConfigWindow>(const WindowContext &)> make;
    int first, last;                      // the registers it reads and writes
    std::function<void(QWidget *)> edit;  // a change that Apply writes
};

const WindowCase Windows[] = {
    {"XmitVars", [](const WindowContext &c) { return std::make_unique<TfrmXmitVars>(c); }, 680, 713,
     [](QWidget *w) {
         auto *e = control<QLineEdit>(w, "txtFallback");
         e->setText(QStringLiteral("5"));
         emit e->editingFinished();
     }},
    {"FlowDirection", [](const WindowContext &c) { return std::make_unique<TfrmFlowDirection>(c); }, 880, 880,
     [](QWidget *w) { pick(control<QComboBox>(w, "cboDirection"), QStringLiteral("Reverse")); }},
};

enum class Failure { ReadFails, WriteRefused, PortCloses };

class EveryConfigWindow : public ConfigWindowTest,
                          public ::testing::WithParamInterface<std::tuple<int, Failure>> {};

}  // namespace

TEST_P(EveryConfigWindow, LeavesTheTransmitterAsItWasAndSaysSo)
{
    const auto [index, failure] = GetParam();
    const WindowCase &c = Windows[index];
    const QByteArray before = regs().bytes();
    if (failure == Failure::ReadFails)
        refuse(c.first, c.last);
    auto window = c.make(context());
    open(window.get());
    c.edit(window.get());
    if (failure == Failure::WriteRefused)
        refuse(c.first, c.last);
    if (failure == Failure::PortCloses) {
        QObject::connect(link.get(), &ModbusLink::txActive, link.get(), [this](bool on) {
            if (on && link->portOpen())
                link->closePort();
        });
    }
    click(window.get(), "btnApply");
    EXPECT_EQ(regs().bytes(), before);
    if (failure == Failure::ReadFails) {
        EXPECT_TRUE(prompter.shown(ConfigWindow::ReadFailedText));
        EXPECT_TRUE(prompter.shown(ConfigWindow::NotReadText));
    } else {
        EXPECT_TRUE(prompter.shown(ConfigWindow::WriteFailedText)) << prompter.texts().join('|').toStdString();
    }
    // Closing writes nothing either.
    window->requestClose();
    settle();
    EXPECT_EQ(regs().bytes(), before);
}

INSTANTIATE_TEST_SUITE_P(Failures, EveryConfigWindow,
                         ::testing::Combine(::testing::Range(0, int(std::size(Windows))),
                                            ::testing::Values(Failure::ReadFails, Failure::WriteRefused,
                                                              Failure::PortCloses)));

TEST_F(ConfigWindowTest, XmitVarsEditInKgPerMinuteReopensConvertedAndUndoes)
{
    constexpr double LbPerKg = 2.20462262184878;
    auto w = openWindow<TfrmXmitVars>();
    EXPECT_EQ(textOf(w.get(), "cboUnit"), QStringLiteral("kg/min"));
    type(w.get(), "txtLoAlarmSet", QStringLiteral("3"));
    click(w.get(), "btnApply");
    EXPECT_NEAR(regs().f64At(2 * 680 + 10), 3.0 * LbPerKg / 60.0, 1e-8);

    auto again = openWindow<TfrmXmitVars>();
    EXPECT_NEAR(numberOf(again.get(), "txtLoAlarmSet"), 3.0, 1e-6);
    pick(control<QComboBox>(again.get(), "cboUnit"), QStringLiteral("lb/min"));
    EXPECT_NEAR(numberOf(again.get(), "txtLoAlarmSet"), 3.0 * LbPerKg, 1e-3);

    click(w.get(), "btnUndo");
    EXPECT_EQ(regs().f64At(2 * 680 + 10), 0.0);
}

TEST_F(ConfigWindowTest, XmitVarsDampingAgainstRateFactor)
{
    // Typed in this order, one window after the other; the check runs as each field is left.
    struct Case {
        const char *damping, *rate;
        bool refused;
        int dampingWritten, rateWritten;
    };
    const Case cases[] = {{"4", "4", false, 4, 4}, {"3", "4", true, 4, 4}, {"9", "2", false, 9, 2}};
    for (const Case &c : cases) {
        auto w = openWindow<TfrmXmitVars>();
        prompter.messages.clear();
        type(w.get(), "txtNoiseFactor", QString::fromLatin1(c.damping));
        type(w.get(), "txtRateFactor", QString::fromLatin1(c.rate));
        EXPECT_EQ(prompter.shownWithTitle(TfrmXmitVars::DampingErrorTitle), c.refused) << c.damping << "/" << c.rate;
        click(w.get(), "btnApply");
        EXPECT_EQ(regs().u8At(2 * 680 + 1), c.dampingWritten);
        EXPECT_EQ(regs().u8At(2 * 3380), c.rateWritten);
    }
    // A factor that does not fit its byte never reaches the transmitter.
    auto w = openWindow<TfrmXmitVars>();
    type(w.get(), "txtNoiseFactor", QStringLiteral("300"));
    EXPECT_EQ(textOf(w.get(), "txtNoiseFactor"), QStringLiteral("9"));
    EXPECT_EQ(status, QStringLiteral("Invalid Damp Factor, old value restored!"));
    // The threshold is a percentage sent as a fraction.
    type(w.get(), "txtThreshold", QStringLiteral("5"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().read(3380 + 2, 4), QByteArray::fromHex("3D4CCCCD"));
}

TEST_F(ConfigWindowTest, XmitVarsKeepsAUnitCodeOutsideItsList)
{
    regs().setU8At(2 * 680, 99);
    auto w = openWindow<TfrmXmitVars>();
    EXPECT_EQ(control<QComboBox>(w.get(), "cboUnit")->currentIndex(), -1);
    type(w.get(), "txtHiAlarmSet", QStringLiteral("2"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().u8At(2 * 680), 99);
    EXPECT_EQ(regs().f64At(2 * 680 + 18), 2.0);  // an unknown unit converts nothing
}

TEST_F(ConfigWindowTest, FlowDirectionChangesOnceAndReversesTheTotals)
{
    const int totals[] = {244, 279, 296, 416, 442, 313};
    for (int t : totals) {
        regs().setF64At(2 * t, 120.0);
        regs().setF64At(2 * t + 8, 100.0);
    }
    auto w = openWindow<TfrmFlowDirection>();
    auto *direction = control<QComboBox>(w.get(), "cboDirection");
    EXPECT_EQ(direction->currentText(), QStringLiteral("Forward"));
    pick(direction, QStringLiteral("Reverse"));
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().reg(880), 0x0100);
    for (int t : totals) {
        EXPECT_EQ(regs().f64At(2 * t), -120.0) << t;
        EXPECT_EQ(regs().f64At(2 * t + 8), -20.0) << t;
    }
    // Reverse again: already in force, nothing is written.
    takeRequests();
    pick(direction, QStringLiteral("Reverse"));
    click(w.get(), "btnApply");
    EXPECT_TRUE(takeRequests().isEmpty());
    // Undo goes back to the direction read and reverses the totals back.
    click(w.get(), "btnUndo");
    EXPECT_EQ(regs().reg(880), 0x0000);
    EXPECT_EQ(regs().f64At(2 * 244), 120.0);
    EXPECT_EQ(regs().f64At(2 * 244 + 8), 100.0);
}

TEST_F(ConfigWindowTest, FlowDirectionRefusedLeavesTheTotals)
{
    regs().setF64At(2 * 244, 120.0);
    auto w = openWindow<TfrmFlowDirection>();
    pick(control<QComboBox>(w.get(), "cboDirection"), QStringLiteral("Reverse"));
    refuse(880, 880);
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().f64At(2 * 244), 120.0);
    // Once the transmitter takes the direction, the totals are reversed once.
    simulator->transmitter()->setFaults({});
    click(w.get(), "btnApply");
    EXPECT_EQ(regs().f64At(2 * 244), -120.0);
}

TEST_F(ConfigWindowTest, MenuTagsOpenTheirWindows)
{
    const std::pair<int, const char *> windows[] = {
        {456, "frmXmitVars"}};
    for (const auto &[tag, name] : windows) {
        ASSERT_TRUE(WindowRegistry::contains(tag)) << tag;
        std::unique_ptr<QDialog> w(WindowRegistry::create(tag, context()));
        EXPECT_EQ(w->objectName(), QLatin1String(name));
    }
}
