// Modbus TCP on loopback against tarvine-sim --tcp --framing tcp in its own process:
// the whole configuration upload through the program's link, then the same number of
// register reads through the link and through libmodbus's blocking client, reported
// as time per request and their ratio.
#include "BenchSupport.h"
#include "ConfigurationTransfer.h"
#include "ModbusLink.h"
#include "NetworkAddress.h"
#include "Session.h"
#include "TcpSerialControl.h"

#include <QCoreApplication>

#include <modbus.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int Requests = 2000;
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
    Stopwatch upload;
    ConfigurationTransfer transfer(link, session);
    const ConfigurationTransfer::Result result = transfer.upload();
    const double uploadSeconds = upload.elapsed();
    std::printf("upload over Modbus TCP: %s, %d requests in %.1f ms (%.3f ms per request)\n",
                result.ok() ? "ok" : "FAILED", sent, uploadSeconds * 1000, uploadSeconds * 1000 / std::max(sent, 1));

    Stopwatch linkReads;
    int linkFailures = 0;
    for (int i = 0; i < Requests; ++i)
        linkFailures += !link.readRegisters(578, 40);
    const double linkPerRequest = linkReads.elapsed() * 1000 / Requests;
    link.closePort();

    modbus_t *ctx = modbus_new_tcp(qPrintable(address->host), address->port);
    if (modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "bench_network: libmodbus cannot connect\n");
        return 1;
    }
    modbus_set_slave(ctx, 247);
    uint16_t registers[20];
    Stopwatch libReads;
    int libFailures = 0;
    for (int i = 0; i < Requests; ++i)
        libFailures += modbus_read_registers(ctx, 578, 20, registers) != 20;
    const double libPerRequest = libReads.elapsed() * 1000 / Requests;
    modbus_close(ctx);
    modbus_free(ctx);

    std::printf("%d reads of 20 registers: link %.3f ms per request (%d failed), libmodbus %.3f ms (%d failed), "
                "ratio %.2f\n",
                Requests, linkPerRequest, linkFailures, libPerRequest, libFailures, linkPerRequest / libPerRequest);
    return result.ok() && linkFailures == 0 && libFailures == 0 ? 0 : 1;
}
