#pragma once

#include "CalibrationWindow.h"

#include <memory>
#include <optional>

namespace Ui {
class TfrmTempCalibration;
}

// "Temperature Calibration": the offset of the RTD sensor, typed in ohms (Manual)
// or set by the transmitter from the actual process temperature after it has
// stabilised (Auto).
class TfrmTempCalibration : public CalibrationWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 433;

    TfrmTempCalibration(const WindowContext &context, int tag = Tag);
    ~TfrmTempCalibration() override;

    // The offset in ohms is R / N x counts; nothing when the scales cannot convert.
    static std::optional<double> ohmsFromCounts(double r, double n, double counts);
    static std::optional<double> countsFromOhms(double r, double n, double ohms);

protected:
    void activate() override;
    void refresh() override;
    void manualChosen() override;
    void autoChosen() override;
    void applyManual() override;
    void applyAuto() override;
    void abortCleanup() override;
    void windowClosing() override;
    QList<CalibrationRecord::Constants> constants() const override;

private:
    void stabilize();
    void computeOffset();
    // Puts back the offset an unfinished auto calibration set to zero.
    void restoreOffset();

    std::unique_ptr<Ui::TfrmTempCalibration> ui;
    int m_tempUnit = 0;
    int m_phase = 0;
    double m_r = 0.0, m_n = 0.0, m_counts = 0.0;
    bool m_scalesRead = false;
    // Counts saved when Auto zeroed the offset; set while they must go back.
    std::optional<double> m_countsToRestore;
};
