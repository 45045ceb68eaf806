// Modbus TCP on loopback against tarvine-sim --tcp --framing tcp in its own process:
// whole configuration uploads (128 blocks) through the program's link, then the same
// block reads through pymodbus's client and libmodbus's, reported as time per request
// and the link's ratio to each.
#include "BenchSupport.h"
#include "Catalogue.h"
#include "ConfigurationTransfer.h"
#include "ModbusLink.h"
#include "NetworkAddress.h"
#include "Session.h"
#include "TcpSerialControl.h"

#include <QCoreApplication>
#include <QProcess>

#include <modbus.h>

#include <cstdio>

namespace {

constexpr int Rounds = 20;

// Milliseconds per request of pymodbus's client reading the upload's blocks; 0 when
// it could not run.
double pymodbusPerRequestMs(const NetworkAddress &address, int *failed)
{
    QStringList arguments{QStringLiteral(BENCH_SOURCE_DIR "/pymodbus_upload.py"), address.host,
                          QString::number(address.port), QString::number(Rounds)};
    for (const BlockDef &block : Catalogue::blocks())
        arguments << QStringLiteral("%1:%2").arg(block.startRegister).arg(block.bytes / 2);
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!python.waitForFinished(600000) || python.exitCode() != 0)
        return 0;
    const QStringList result = QString::fromLatin1(python.readAllStandardOutput()).split(QLatin1Char(' '));
    *failed = result.value(1).trimmed().toInt();
    return result.value(0).toDouble();
}

double libmodbusPerRequestMs(const NetworkAddress &address, int *failed)
{
    modbus_t *ctx = modbus_new_tcp(qPrintable(address.host), address.port);
    if (modbus_connect(ctx) != 0) {
        modbus_free(ctx);
        return 0;
    }
    modbus_set_slave(ctx, 247);
    uint16_t registers[MODBUS_MAX_READ_REGISTERS];
    Stopwatch reads;
    for (int round = 0; round < Rounds; ++round)
        for (const BlockDef &block : Catalogue::blocks())
            *failed += modbus_read_registers(ctx, block.startRegister, block.bytes / 2, registers) != block.bytes / 2;
    const double perRequest = reads.elapsed() * 1000 / (Rounds * Catalogue::BlockCount);
    modbus_close(ctx);
    modbus_free(ctx);
    return perRequest;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimProcess sim({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--framing"), QStringLiteral("tcp"),
                    QStringLiteral("--pace"), QStringLiteral("off"), QStringLiteral("--no-live")});
    const auto address = NetworkAddress::parse(sim.path());
    if (!address) {
        std::fprintf(stderr, "bench_network: the simulator did not start\n");
        return 1;
    }
    Session session;
    session.setLoggedIn(true);
    session.setAccessLevel(Session::Programmer);
    TcpSerialControl tcp;
    ModbusLink link(&tcp, &session);
    CommSettings s;
    s.port = address->text();
    s.framing = ModbusLink::Tcp;
    link.setSettings(s);
    if (!link.openPort()) {
        std::fprintf(stderr, "bench_network: cannot connect to %s\n", qPrintable(s.port));
        return 1;
    }
    int sent = 0;
    QObject::connect(&link, &ModbusLink::traffic, [&sent](const LinkTraffic &t) { sent += t.kind == LinkTraffic::Sent; });
    int linkFailed = 0;
    Stopwatch uploads;
    for (int round = 0; round < Rounds; ++round) {
        ConfigurationTransfer transfer(link, session);
        linkFailed += transfer.upload().failedBlocks;
    }
    const double linkMs = uploads.elapsed() * 1000 / std::max(sent, 1);
    link.closePort();
    std::printf("%d uploads over Modbus TCP, %d requests: link %.3f ms per request (%d failed)\n", Rounds, sent,
                linkMs, linkFailed);

    int pyFailed = 0;
    const double pyMs = pymodbusPerRequestMs(*address, &pyFailed);
    if (pyMs > 0)
        std::printf("pymodbus client, same blocks: %.3f ms per request (%d failed); link/pymodbus ratio %.2f\n", pyMs,
                    pyFailed, linkMs / pyMs);
    else
        std::printf("pymodbus client: not run (install python3-pymodbus)\n");
    int libFailed = 0;
    const double libMs = libmodbusPerRequestMs(*address, &libFailed);
    if (libMs > 0)
        std::printf("libmodbus client, same blocks: %.3f ms per request (%d failed); link/libmodbus ratio %.2f\n",
                    libMs, libFailed, linkMs / libMs);
    return linkFailed == 0 && pyFailed == 0 && libFailed == 0 ? 0 : 1;
}
