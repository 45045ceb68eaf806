// The calibration windows the main window opens by menu tag.
#include "WindowRegistry.h"

#include "frmAnalogCalibration.h"
#include "frmDensityCalibration.h"
#include "frmMassCalibration.h"
#include "frmSensorCalibration.h"
#include "frmTempCalibration.h"
#include "frmZeroCalibration.h"

TARVINE_REGISTER_WINDOW(432, TfrmZeroCalibration);
TARVINE_REGISTER_WINDOW(435, TfrmMassCalibration);
TARVINE_REGISTER_WINDOW(433, TfrmTempCalibration);
TARVINE_REGISTER_WINDOW(434, TfrmDensityCalibration);
TARVINE_REGISTER_WINDOW(436, TfrmAnalogCalibration);
TARVINE_REGISTER_WINDOW(459, TfrmSensorCalibration);
