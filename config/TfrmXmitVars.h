#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "ShownUnit.h"

#include <array>
#include <memory>

namespace Ui {
class TfrmXmitVars;
}
class ApplyUndoButtons;

// "Configure Transmit Variables": the configuration block of one measured
// parameter at a time (unit, fallback, alarm setpoints, cutoff, slug limits,
// damping, standard density, API table), and for mass and volume flow the rate
// damping. Opens the Special units window, the tables, the net-oil configuration
// and the flow direction. Closing applies pending edits; switching to another
// parameter asks first whether to apply or discard them.
class TfrmXmitVars : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 456;
    static constexpr int NetOilWindowTag = 45603;
    static const QString DampingErrorTitle;
    static const QString DampingErrorText;
    static const QString PendingEditsText;
    static const QString ConcentrationUnitText;

    explicit TfrmXmitVars(const WindowContext &context, int tag = Tag);
    ~TfrmXmitVars() override;

protected:
    void FormActivate() override;
    void beforeFinish() override;
    bool appliesOnClose() const override { return true; }
    void showTransmitterState() override { showBlock(); }

private:
    enum Value { Fallback, LoAlarm, HiAlarm, Cutoff, SlugLo, SlugHi, ValueCount };

    void cboParamChange();
    void cboUnitChange();
    void cboStdDensUnitChange();
    void cboAPISelectorChange();
    bool btnApplyClick();
    bool btnUndoClick();
    bool applyPending();
    void selectParameter(int code);
    void showValues();
    int rateFactor() const;
    void storeBase(EntryField *field, int offset, double base);
    bool dampingAgrees(double damping, double rate);
    void edited();
    void btnFlowDirectionClick();
    void btnSpecialUnitsClick();
    void btnTableClick();
    void btnAPITableClick();

    void fillParameters();
    void layOut();
    void showBlock();
    void setUnitLabels();
    void densityRule();
    void stdDensityRule();
    void warnUnlessUnitsAgree(int concUnit, int stdDensUnit, bool editingConcentration);
    void setButtons(bool apply, bool undo);
    bool rateDamped() const;
    int partnerCode() const;
    void openWindow(QDialog *window);

    std::unique_ptr<Ui::TfrmXmitVars> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_param, m_unit, m_stdDensUnit, m_api;
    std::array<EntryField *, ValueCount> m_values{};
    EntryField *m_slugDelay, *m_stdDensity, *m_damping, *m_rateFactor, *m_threshold;

    int m_code = 0;
    ShownUnit m_shown;
    int m_stdDensUnitShown = 0;
    std::unique_ptr<ConfigBlock> m_block;
    ConfigBlock m_rate;
    bool m_stdVolumeChanged = false;
    bool m_densityChanged = false;
    bool m_concentrationUnitAsked = false;
    bool m_apiPicked = false;
};
