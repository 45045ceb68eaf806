#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "ShownUnit.h"

#include <memory>

namespace Ui {
class TfrmNetOil;
}
class ApplyUndoButtons;
class EntryField;

// "Configure NetOil": whether net oil is measured by volume or mass, the fallback,
// alarm set points and low-flow cutoff of net oil, net water and water cut, the
// shrinkage factor, the selected well and the standard temperature. Nothing can be
// changed while a well test runs.
class TfrmNetOil : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 45603;
    static constexpr int HelpContext = 45603;
    static constexpr int WellDataTag = 4560301;
    static constexpr double MinShrinkage = 0.5, MaxShrinkage = 1.5;
    static const QString ShrinkageTitle;

    TfrmNetOil(const WindowContext &context, int tag = Tag);
    ~TfrmNetOil() override;

protected:
    void FormActivate() override;

private:
    ConfigBlock &shownBlock();
    int netOilCode() const;
    void showParameter();
    void cboNetChange();
    void cboWellNumChange();
    // Reads coil 86 before a write; a running test (or no answer) locks the window.
    bool testRunsNow();
    void lock();
    void txtShrinkFactorAccepted(double value);
    void setEditable(bool on);
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmNetOil> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_net, m_param, m_well, m_stdTemp;
    QList<EntryField *> m_values;  // fallback, low and high alarm, low-flow cutoff
    EntryField *m_shrink = nullptr;
    ConfigBlock m_var, m_wellCfg, m_netOil, m_waterCut, m_netWater;
    ShownUnit m_shown;
    int m_acceptedWell = 0;
    bool m_locked = false;
};
