#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <memory>

namespace Ui {
class TfrmHart;
}
class ApplyUndoButtons;

// "Configure HART": the HART card's poll address (0 to 15, wrapping) and write
// protection.
class TfrmHart : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4575;
    static constexpr int HelpContext = 4575;
    static constexpr int MaxAddress = 15;

    TfrmHart(const WindowContext &context, int tag = Tag);
    ~TfrmHart() override;

protected:
    void FormActivate() override;

private:
    void showBlock();
    void showAddress(int address);
    bool txtAddressExit();
    void udAddressStep(int step);
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmHart> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_writeProtect;
    ConfigBlock m_block;
    int m_address = 0;
    bool m_addressTyped = false;  // typed since last checked
};
