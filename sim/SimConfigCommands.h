#pragma once

namespace sim {

class SimDevice;

// The commands behind the configuration windows: alarm relay pause and resume,
// and taking up a new sensor model number.
void registerConfigCommands(SimDevice &device);

} // namespace sim
