#pragma once

#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "SensorModelNumber.h"

#include <memory>

namespace Ui {
class TfrmDevConf;
}
class ApplyUndoButtons;
class QComboBox;

// "Device Configuration": sensor and electronics model and serial numbers, the
// final assembly number, and the sensor's construction read from and written into
// its model number.
class TfrmDevConf : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4531;
    static constexpr int HelpContext = 4531;
    static constexpr int ReadTransducerCfgCoil = 51;

    TfrmDevConf(const WindowContext &context, int tag = Tag);
    ~TfrmDevConf() override;

protected:
    void FormActivate() override;

private:
    void showBlock();
    void select(const SensorModelNumber::Positions &positions);
    bool txtTransModNumExit();
    void partChange();
    bool btnApplyClick();
    bool btnUndoClick();
    bool takeUp();

    std::unique_ptr<Ui::TfrmDevConf> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    std::array<QComboBox *, SensorModelNumber::PartCount> m_parts{};
    ConfigBlock m_block;
    QString m_lastValidModel = SensorModelNumber::DefaultModel;
    bool m_modelTyped = false;   // typed since last checked
    bool m_modelEdited = false;  // differs from the stored number (typed or built from the lists)
    std::array<bool, 4> m_otherEdited{};
};
