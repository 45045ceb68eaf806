#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "OutputParameter.h"

#include <memory>

namespace Ui {
class TfrmPulseOutput;
}
class ApplyUndoButtons;

// "Pulse Output Configuration": which parameter drives the frequency/pulse output
// and its scaling: a rate range (mode 0), pulses per unit of a total (mode 1) or a
// fixed pulse count and frequency (mode 2, "Keyboard Data"). The edits go into the
// working copy of the output block as they are made, in base units.
class TfrmPulseOutput : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4571;
    static constexpr int Block = 983;

    explicit TfrmPulseOutput(const WindowContext &context, int tag = Tag);
    ~TfrmPulseOutput() override;

    // The output mode that goes with a parameter code.
    static int modeOf(int code);

protected:
    void FormActivate() override;

private:
    void cboParamChange();
    bool btnApplyClick();
    bool btnUndoClick();
    void showParameter();
    int mode() const;
    // Keeps what a field holds in the working copy; false when it cannot be stored.
    bool store(EntryField *field);

    std::unique_ptr<Ui::TfrmPulseOutput> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_param;
    ConfigBlock m_block;
    OutputParameter m_shown;
    int m_netOil = 0;
    bool m_armed = false;
    EntryField *m_lower, *m_upper, *m_pulses, *m_freq;
};
