#pragma once

#include "CalibrationWindow.h"

#include <QByteArray>

#include <memory>
#include <optional>

class QGroupBox;

namespace Ui {
class TfrmAnalogCalibration;
}

// "Analog Calibration": the gain and offset of one 4-20 mA output, typed (Manual)
// or trimmed by the transmitter from the currents a meter reads while the output
// is driven to 4 and 19 mA (Auto).
class TfrmAnalogCalibration : public CalibrationWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 436;

    // An output's configuration block and the coils that drive, trim and release it.
    struct Output {
        int block;
        int driveCoil;
        int applyCoil;
        int endCoil;
    };
    static const Output Outputs[3];

    TfrmAnalogCalibration(const WindowContext &context, int tag = Tag);
    ~TfrmAnalogCalibration() override;

protected:
    void activate() override;
    void refresh() override;
    void manualChosen() override;
    void autoChosen() override;
    void applyManual() override;
    void applyAuto() override;
    void abortCleanup() override;
    void abortDone() override;
    void windowClosing() override;
    QList<CalibrationRecord::Constants> constants() const override;

private:
    const Output &output() const;
    void outputChanged();
    void setGroup(QGroupBox *group, bool enabled);
    // Drives the output at mA; false (after the abort) when the transmitter refused.
    bool drive(double mA);
    void showPresentCurrent();
    void driveLow();
    void lowDriven();
    void driveHigh();
    // Releases a driven output and puts back the output bytes an unfinished auto
    // calibration changed; nothing when no auto calibration is under way.
    void leaveAuto();

    std::unique_ptr<Ui::TfrmAnalogCalibration> ui;
    // The output block as last read (empty until a read succeeded).
    QByteArray m_block;
    // The fixed output current bytes saved when Auto started; set while they must go back.
    std::optional<QByteArray> m_savedCurrent;
    int m_output = 0;
    // The current the output is driven at; nothing while it is not held.
    std::optional<double> m_drivenMa;
};
