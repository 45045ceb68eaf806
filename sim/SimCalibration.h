#pragma once

namespace sim {

class SimDevice;

// The transmitter's calibration procedures: zero, density and temperature
// stabilising with their calculations, the mass calibration runs and the scalar,
// the analog-output drive and trim.
void registerCalibrationCommands(SimDevice &device);

} // namespace sim
