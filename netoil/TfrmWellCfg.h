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
    void setEditable(bool on);
    void cboWellNumChange();
    bool txtEditPurgeTimeExit();
    void btnWellTestClick();
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmWellCfg> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_well, m_purgeType, m_testTime, m_dumps;
    ConfigBlock m_params;
};
