#pragma once

#include "CalibrationWindow.h"

#include <memory>

namespace Ui {
class TfrmZeroCalibration;
}

// "Zero Calibration": the flow zero of the system or of the electronics, typed in
// (Manual) or measured by the transmitter over a number of 10-second intervals (Auto).
class TfrmZeroCalibration : public CalibrationWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 432;
    static constexpr int ExtraSecondsBeforeTimeout = 3;

    TfrmZeroCalibration(const WindowContext &context, int tag = Tag);
    ~TfrmZeroCalibration() override;

    // Seconds the transmitter takes: only the low bytes of both counts count.
    static int zeroSeconds(int intervals, int zeros);

protected:
    void activate() override;
    void refresh() override;
    void manualChosen() override;
    void autoChosen() override;
    void applyManual() override;
    void applyAuto() override;
    void abortDone() override;
    QList<CalibrationRecord::Constants> constants() const override;

private:
    void cboZeroChange();
    void completed(const QString &text);
    bool showAngle(int reg, QLineEdit *edit);

    std::unique_ptr<Ui::TfrmZeroCalibration> ui;
    int m_coil = 1;
    int m_valueReg = 2296;
    int m_stdDevReg = 2308;
};
