#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "ShownUnit.h"

#include <memory>

namespace Ui {
class TfrmAlarmCfg;
}
class ApplyUndoButtons;
class EntryField;

// "Configure Alarms": which source drives each alarm relay, in which mode, and the
// source's low and high setpoints. The relay register is written between the
// relay's pause and resume coils.
class TfrmAlarmCfg : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 454;
    static constexpr int HelpContext = 454;
    static const QString ResumeFailedText;

    TfrmAlarmCfg(const WindowContext &context, int tag = Tag);
    ~TfrmAlarmCfg() override;

protected:
    void FormActivate() override;
    void showTransmitterState() override;

private:
    void cboAlarmChange();
    void cboParamChange();
    void cboUnitPicked();
    void cboUnitChange();
    void selectRelay();
    void selectSource();
    void showRelay();
    void showSetpoints();
    // The quantity whose units the setpoints are shown in.
    int unitCode() const;
    bool btnApplyClick();
    bool btnUndoClick();
    bool writeRelay(const QByteArray &word);

    std::unique_ptr<Ui::TfrmAlarmCfg> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_alarm, m_param, m_type, m_unit;
    EntryField *m_lo = nullptr;
    EntryField *m_hi = nullptr;
    int m_netOilQuantity = 7;
    std::unique_ptr<ConfigBlock> m_relay;
    std::unique_ptr<ConfigBlock> m_setpoints;  // none for sources without setpoints
    ShownUnit m_shown;
};
