#include "frmTubeDriveTest.h"

#include "Clock.h"
#include "ModbusLink.h"
#include "UnitConversion.h"
#include "TitleWidth.h"
#include "ui_frmTubeDriveTest.h"

TfrmTubeDriveTest::TfrmTubeDriveTest(const WindowContext &context)
    : OutputTestWindow(context, HelpContext), ui(std::make_unique<Ui::TfrmTubeDriveTest>()), Timer1(new ClockTimer(this))
{
    ui->setupUi(this);
    widenForTitle(this);
    Timer1->setInterval(1000);
    connect(Timer1, &ClockTimer::timeout, this, &TfrmTubeDriveTest::Timer1Timer);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmTubeDriveTest::~TfrmTubeDriveTest() = default;

double TfrmTubeDriveTest::driveEfficiency(double sensorA, double sensorB, double current)
{
    return current == 0.0 ? 0.0 : (sensorA + sensorB) / 2.0 / current;
}

void TfrmTubeDriveTest::FormActivate()
{
    endTest();
    force(TestCoil, true);
    update();
}

void TfrmTubeDriveTest::Timer1Timer()
{
    BusyScope scope(*this);
    update();
}

void TfrmTubeDriveTest::update()
{
    Timer1->stop();
    if (closing())
        return;
    clearResults();
    if (commandArea().readResults(CommandArea::Bytes)) {
        const RegisterImage &image = link().image();
        const double current = image.f64At(0);
        const double sensorA = FromBase(SensorVoltageCode, image.f64At(8), 0);
        const double sensorB = FromBase(SensorVoltageCode, image.f64At(16), 0);
        ui->txtCurrent->setText(QString::asprintf("%-4.3f", current));
        ui->txtSensorA->setText(QString::asprintf("%-5.2f", sensorA));
        ui->txtSensorB->setText(QString::asprintf("%-5.2f", sensorB));
        ui->txtDriveEff->setText(QString::asprintf("%-5.2f", driveEfficiency(sensorA, sensorB, current)));
    } else {
        // No values rather than zeros that look measured.
        for (QLineEdit *field : {ui->txtCurrent, ui->txtSensorA, ui->txtSensorB, ui->txtDriveEff})
            field->clear();
    }
    Timer1->start();
}

void TfrmTubeDriveTest::endTest()
{
    Timer1->stop();
    clearResults();
    forceAbort();
    forceInOrder({{UpdateCoil, false}, {TestCoil, false}});
}

void TfrmTubeDriveTest::beforeFinish()
{
    endTest();
}
