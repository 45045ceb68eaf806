#pragma once

#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "ShownUnit.h"

#include <memory>

namespace Ui {
class TfrmBatchTypeTest;
}
class ApplyUndoButtons;
class EntryField;

// "Configure Batch Type": the total that drives the batch, its size, trickle and
// alarm offsets in the total's unit, the response and restart times and the
// operator options.
class TfrmBatchTypeTest : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 452;
    static constexpr int HelpContext = 452;
    static constexpr int MaxResponseTime = 60;
    static constexpr int MaxRestartDelay = 600;

    TfrmBatchTypeTest(const WindowContext &context, int tag = Tag);
    ~TfrmBatchTypeTest() override;

protected:
    void FormActivate() override;

private:
    void selectTotal();
    void cboUnitChange();
    void takeUnit();
    int m_unitAtOpening = -1;
    void showValues();
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmBatchTypeTest> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    CodeChoice m_param, m_unit, m_runModeEdit, m_batchJog;
    struct QuantityField {
        EntryField *field;
        int offset;
    };
    QList<QuantityField> m_quantities;
    EntryField *m_responseTime = nullptr;
    EntryField *m_restartDelay = nullptr;
    ConfigBlock m_batch;
    ShownUnit m_shown;
};
