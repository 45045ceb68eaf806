#include "SimulateMode.h"

#include "CommSettingsFile.h"

#if __has_include("PtySimulator.h") && defined(HAVE_TARVINE_SIM)
#include "PtySimulator.h"
#include "Simulator.h"
#define TARVINE_SIMULATION 1
#endif

struct SimulateMode::Impl {
#ifdef TARVINE_SIMULATION
    sim::Simulator simulator;
    sim::PtySimulator pty{simulator.transmitter()};
#endif
};

SimulateMode::SimulateMode(QObject *parent) : QObject(parent) {}

SimulateMode::~SimulateMode() = default;

bool SimulateMode::start(const QString &workDir, QString *error)
{
#ifdef TARVINE_SIMULATION
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
#else
    Q_UNUSED(workDir);
    if (error)
        *error = QStringLiteral("This build of Tarvine has no simulated transmitter.");
    return false;
#endif
}
