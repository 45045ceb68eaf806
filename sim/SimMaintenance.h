#pragma once

namespace sim {

class SimDevice;

// The output and drive tests (analog output currents, switched outputs, the
// pulse output and the tube drive) and the file-system commands (directory,
// file information, delete).
void registerMaintenanceCommands(SimDevice &device);

} // namespace sim
