#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <memory>

namespace Ui {
class TfrmWellCfg;
}
class ApplyUndoButtons;

// "Well Testing Configurations": the well to test, how it is purged (for a time or
// a number of dumps) and how long the test runs. Nothing can be changed while a
// well test runs.
class TfrmWellCfg : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4576;
    static constexpr int HelpContext = 4576;

    TfrmWellCfg(const WindowContext &context, int tag = Tag);
    ~TfrmWellCfg() override;

protected:
    void FormActivate() override;

private:
    void showParams();
    void showPurgeRows();
    void lockIfTesting();
    // Locked, the five controls and Apply and Undo are off; unlocked again, Apply
    // and Undo come back as they were.
    void setEditable(bool on);
    // Reads coil 86 just before a write: false (and the window locked) while a test
    // runs or when the transmitter did not say.
    bool stillStopped();
    // Writes the five fields the window sets, taken from source, over a fresh read
    // of the block: the purge counters the transmitter keeps go back as it has them.
    bool writeSettings(const QByteArray &source);
    void cboWellNumChange();
    bool txtEditPurgeTimeExit();
    void btnWellTestClick();
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmWellCfg> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_well, m_purgeType, m_testTime, m_dumps;
    ConfigBlock m_params;
    bool m_locked = false;
    bool m_applyWasOn = false, m_undoWasOn = false;
};
