#pragma once

namespace sim {

class SimDevice;

// Seconds between two dumps of a purge by dumps, unless the simulator is told otherwise.
constexpr int DefaultDumpSeconds = 10;

// The well test: coil 86 starts it (with a valid well), coil 87 or the Abort coil
// stops it. Registering again replaces the running-test state machine.
void registerWellTestCommands(SimDevice &device, int dumpSeconds = DefaultDumpSeconds);

} // namespace sim
