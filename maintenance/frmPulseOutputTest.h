#pragma once

#include "OutputTestWindow.h"

#include <memory>

namespace Ui {
class TfrmPulseOutputTest;
}

// "Pulse Output Test": the pulse output sends a number of pulses at a frequency,
// overriding its configuration while the window is open.
class TfrmPulseOutputTest : public OutputTestWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 441;
    static constexpr int TestCoil = 29;
    static constexpr int CancelCoil = 30;

    explicit TfrmPulseOutputTest(const WindowContext &context);
    ~TfrmPulseOutputTest() override;

public slots:
    void btnStartClick();
    void txtFreqExit();
    void txtPulsesExit();

protected:
    void FormActivate() override;
    void beforeFinish() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool startPulses();
    void showValues();
    void updateStartButton();

    std::unique_ptr<Ui::TfrmPulseOutputTest> ui;
    double m_frequency = 0.0;
    int m_pulses = 0;
};
