#pragma once

#include "CalibrationWindow.h"

#include <QByteArray>

#include <memory>

namespace Ui {
class TfrmMassCalibration;
}

// "Mass Calibration": the mass scalar, typed in (Manual) or computed from a Dump
// or Batch run of known mass (Auto). The program never starts or stops the flow.
class TfrmMassCalibration : public CalibrationWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 435;

    TfrmMassCalibration(const WindowContext &context, int tag = Tag);
    ~TfrmMassCalibration() override;

    // The new scalar from a run: |actual / measured|; nothing when the run measured
    // nothing or the result could not be sent (not finite, zero).
    static std::optional<double> scalarFromRun(double actualBase, double measuredBase);

protected:
    void activate() override;
    void refresh() override;
    void manualChosen() override;
    void autoChosen() override;
    void applyManual() override;
    void applyAuto() override;
    void abortCleanup() override;
    void abortDone() override;
    bool abortApplies() const override { return true; }
    bool mayClose() override;
    void windowClosing() override;
    QList<CalibrationRecord::Constants> constants() const override;

private:
    enum RunMethod { Dump = 0, Batch = 1, NoMethod = 2 };

    void idleReset();
    void cboMethodChange();
    void startRun();
    void stopRun();
    void followRun();
    bool showScalar();
    void actualMassEntered();
    void succeeded(const QString &text);
    void setBlinking(bool on);
    int totalIndex() const;

    std::unique_ptr<Ui::TfrmMassCalibration> ui;
    ClockTimer *Timer2 = nullptr;
    int m_rateUnit = 0;
    int m_method = NoMethod;
    int m_startCoil = 6;
    int m_stopCoil = 70;
    QByteArray m_batchAsRead;
    bool m_batchRead = false;
    bool m_batchWritten = false;
    double m_lastTotal = 0.0;
    double m_measured = 0.0;
    double m_scalar = 1.0;
    bool m_startPending = false;
    bool m_running = false;
    bool m_baselineTaken = false;
    bool m_flowSeen = false;
    bool m_blinking = false;
    bool m_blinkOn = false;
};
