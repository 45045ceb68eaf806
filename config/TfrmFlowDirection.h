#pragma once

#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <memory>

namespace Ui {
class TfrmFlowDirection;
}

// "Configure Flow Direction": forward or reverse flow (register 880). A change of
// direction also reverses the stored totals, once: the choice is compared with
// the direction in force after the last Apply, and the totals are negated only
// after the transmitter accepted the new direction.
class TfrmFlowDirection : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 4567;
    static constexpr int DirectionRegister = 880;
    static const QString TotalsFailedText;

    explicit TfrmFlowDirection(const WindowContext &context, QWidget *parent = nullptr);
    ~TfrmFlowDirection() override;

protected:
    void FormActivate() override;

private:
    void btnApplyClick();
    void btnUndoClick();
    // Writes a direction and reverses the totals; false when anything failed.
    bool changeDirection(int direction);

    std::unique_ptr<Ui::TfrmFlowDirection> ui;
    ConfigBlock m_block;
    int m_asRead = 0;
    int m_inForce = 0;
};

// Reverses the six totals (mass, volume, standard volume, concentrate, net oil,
// batch): each total a with its forward part b becomes -a and b - a. Stops at the
// first block that cannot be read or written; true when all six were reversed.
bool ReverseTotals(ModbusLink &link);
