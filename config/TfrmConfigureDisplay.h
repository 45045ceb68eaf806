#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <array>
#include <memory>

namespace Ui {
class TfrmConfigureDisplay;
}
class ApplyUndoButtons;

// "Configure Display": what the first three lines of the transmitter's display
// show; the fourth line is written back as read.
class TfrmConfigureDisplay : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 455;
    static constexpr int HelpContext = 455;
    static const QList<CodeChoice::Item> LineChoices;

    TfrmConfigureDisplay(const WindowContext &context, int tag = Tag);
    ~TfrmConfigureDisplay() override;

protected:
    void FormActivate() override;

private:
    void showBlock();
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmConfigureDisplay> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    std::array<CodeChoice, 3> m_lines;
    ConfigBlock m_block;
};
