#pragma once

#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <array>
#include <memory>

namespace Ui {
class TfrmFlowDirection;
}
class ApplyUndoButtons;

// "Configure Flow Direction": forward or reverse flow (register 880). A change of
// direction also reverses the six stored totals, once each: the window remembers
// which totals it reversed, so an Apply that the transmitter refused part-way is
// finished by the next Apply, and Undo reverses back only the totals it reversed.
// The totals are reversed only after the transmitter accepted the new direction.
class TfrmFlowDirection : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 4567;
    static constexpr int DirectionRegister = 880;
    static constexpr int TotalCount = 6;
    static const QString TotalsFailedText;

    explicit TfrmFlowDirection(const WindowContext &context, QWidget *parent = nullptr);
    ~TfrmFlowDirection() override;

protected:
    void FormActivate() override;

private:
    bool btnApplyClick();
    bool btnUndoClick();
    // Writes a direction (when not in force) and brings each total to the sign
    // that goes with it; false, saying which totals were reversed, when anything failed.
    bool changeDirection(int direction);

    std::unique_ptr<Ui::TfrmFlowDirection> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    ConfigBlock m_block;
    int m_asRead = 0;
    int m_inForce = 0;
    std::array<bool, TotalCount> m_reversed{};  // totals negated since the window read them
};

// Reverses one of the six totals (mass, volume, standard volume, concentrate, net
// oil, batch; index 0..5): the total a with its forward part b becomes -a and b - a.
// True when the transmitter took it.
bool ReverseTotal(ModbusLink &link, int index);
