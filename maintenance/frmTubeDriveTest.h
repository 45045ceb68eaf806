#pragma once

#include "OutputTestWindow.h"

#include <memory>

namespace Ui {
class TfrmTubeDriveTest;
}
class ClockTimer;

// "Tube Drive Test": while the transmitter runs its tube test, the drive current,
// both sensor amplitudes and the drive efficiency are shown every second.
class TfrmTubeDriveTest : public OutputTestWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 442;
    static constexpr int TestCoil = 31;
    static constexpr int UpdateCoil = 72;
    static constexpr int SensorVoltageCode = 17;

    explicit TfrmTubeDriveTest(const WindowContext &context);
    ~TfrmTubeDriveTest() override;

    // Mean sensor amplitude over drive current; 0 without current.
    static double driveEfficiency(double sensorA, double sensorB, double current);

public slots:
    void Timer1Timer();

protected:
    void FormActivate() override;
    void beforeFinish() override;

private:
    void endTest();
    void update();

    std::unique_ptr<Ui::TfrmTubeDriveTest> ui;
    ClockTimer *Timer1;
};
