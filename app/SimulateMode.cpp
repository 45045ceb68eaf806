#include "SimulateMode.h"

#include "CommSettingsFile.h"

#include "PtySimulator.h"
#include "Simulator.h"

struct SimulateMode::Impl {
    sim::Simulator simulator;
    sim::PtySimulator pty{simulator.transmitter()};
};

SimulateMode::SimulateMode(QObject *parent) : QObject(parent) {}

SimulateMode::~SimulateMode() = default;

bool SimulateMode::start(const QString &workDir, QString *error)
{
    d = std::make_unique<Impl>();
    m_path = d->pty.start(error);
    if (m_path.isEmpty())
        return false;
    CommSettingsFile file(workDir);
    PcCommSettings pc = file.load();
    pc.port = m_path;
    pc.baudRate = QStringLiteral("9600");
    pc.parity = QStringLiteral("None");
    pc.dataBits = QStringLiteral("8");
    pc.stopBits = QStringLiteral("1");
    pc.framing = 0;
    pc.modeText = QStringLiteral("ASCII");
    pc.unitId = 247;
    return file.save(pc, error);
}
