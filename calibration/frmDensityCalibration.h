#pragma once

#include "CalibrationWindow.h"

#include <QByteArray>

#include <memory>

namespace Ui {
class TfrmDensityCalibration;
}

// "Density Calibration": the density constants C1 and C2 with the air reference,
// typed (Manual) or computed by the transmitter from the air point and an actual
// density once the reading has stabilised on the product (Auto). A meter set to
// °API is switched to g/cc while the window is open and put back when it closes.
class TfrmDensityCalibration : public CalibrationWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 434;

    TfrmDensityCalibration(const WindowContext &context, int tag = Tag);
    ~TfrmDensityCalibration() override;

protected:
    void activate() override;
    void refresh() override;
    void manualChosen() override;
    void autoChosen() override;
    void applyManual() override;
    void applyAuto() override;
    void abortCleanup() override;
    void timerTick() override;
    void windowClosing() override;
    QList<CalibrationRecord::Constants> constants() const override;

private:
    void showUnits();
    // Switches the density unit to g/cc (true) or back to °API; only a block that was read is written.
    bool switchDensityUnit(bool toGramsPerCc);
    void stabilize();
    void computeConstants();
    // The calibration block as last read with the air point from the fields; empty when it was not read.
    QByteArray calibrationBlockWithAirPoint();
    void showActualDensityZero();
    void keepLoopsInManual();

    std::unique_ptr<Ui::TfrmDensityCalibration> ui;
    int m_densityUnit = 0;
    int m_tempUnit = 0;
    int m_phase = 0;
    bool m_unitSwitched = false;
    bool m_unitJustSwitched = false;
    bool m_closeOnTick = false;
    // The 48-byte calibration block as last read (empty until a read succeeded).
    QByteArray m_calBlock;
};
