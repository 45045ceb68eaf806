#pragma once

#include "OutputTestWindow.h"

#include <array>
#include <memory>

namespace Ui {
class TfrmSwitchedOutputTest;
}
class ClockTimer;
class QPushButton;

// "Switched Output Test": latches and unlatches the two alarm relays and the two
// batch outputs; a latched output's button blinks.
class TfrmSwitchedOutputTest : public OutputTestWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 443;

    struct Output {
        const char *button;
        int latchCoil;
        int unlatchCoil;
        const char *name; // as in "Latch Alarm #1"
    };
    static const std::array<Output, 4> Outputs;

    explicit TfrmSwitchedOutputTest(const WindowContext &context);
    ~TfrmSwitchedOutputTest() override;

    bool latched(int output) const { return m_latched[size_t(output)]; }

public slots:
    void Timer1Timer();

protected:
    void FormActivate() override;
    void beforeFinish() override;

private:
    void toggle(int output);
    QPushButton *button(int output) const;

    std::unique_ptr<Ui::TfrmSwitchedOutputTest> ui;
    ClockTimer *Timer1;
    std::array<bool, 4> m_latched{};
    bool m_blinkPhase = false;
};
