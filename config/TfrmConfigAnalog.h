#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "OutputParameter.h"

#include <memory>

namespace Ui {
class TfrmConfigAnalog;
}
class ApplyUndoButtons;

// "Configure Analog Outputs": the parameter of each 4-20 mA output and its range,
// or a fixed current ("Keyboard Data", 0 to 24 mA). An entry that is not valid
// refuses the Apply: nothing is written.
class TfrmConfigAnalog : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4570;
    static constexpr int Blocks[3] = {881, 915, 949};

    explicit TfrmConfigAnalog(const WindowContext &context, int tag = Tag);
    ~TfrmConfigAnalog() override;

protected:
    void FormActivate() override;

private:
    void cboOutputChange();
    void cboParamChange();
    bool btnApplyClick();
    bool btnUndoClick();
    void store(EntryField *field, double shown);
    void showParameter();
    bool fixedCurrent() const;

    std::unique_ptr<Ui::TfrmConfigAnalog> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_param;
    std::unique_ptr<ConfigBlock> m_block;
    OutputParameter m_shown;
    int m_netOil = 0;
    EntryField *m_lower, *m_upper;
};
