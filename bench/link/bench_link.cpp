// Reads all 128 register blocks through the program's link, over a pseudo-terminal
// served by tarvine-sim in its own process (so this process's CPU time is the
// link's own), and compares the elapsed time with the time the same request and
// reply bytes need on the wire plus, in RTU, the silent interval the protocol asks
// before each request (the simulator runs with --strict-silence and drops a request
// that comes sooner). The same RTU reads through libmodbus (against a simulator
// without strict silence) give a reference for what a plain blocking client achieves.
#include "BenchSupport.h"
#include "Catalogue.h"
#include "LineSilence.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"

#include <QCoreApplication>

#include <modbus.h>

#include <cstdio>

namespace {

// Characters of one request and its reply for a block read.
int wireChars(int framing, int byteCount)
{
    if (framing == ModbusLink::Ascii)
        return 17 + (1 + 2 * (3 + byteCount + 1) + 2);
    return 8 + (3 + byteCount + 2);
}

struct Run {
    double elapsed = 0;
    double cpu = 0;
    int failures = 0;
};

Run readWithLink(const QString &path, int framing, int baud)
{
    Session session;
    QtSerialControl serial;
    ModbusLink link(&serial, &session);
    CommSettings s;
    s.port = path;
    s.settings = QStringLiteral("%1,N,8,1").arg(baud);
    s.framing = framing;
    s.unitId = 247;
    link.setSettings(s);
    Run run;
    QString error;
    if (!link.openPort(&error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(error));
        run.failures = Catalogue::BlockCount;
        return run;
    }
    const Stopwatch watch;
    for (const BlockDef &b : Catalogue::blocks()) {
        if (link.Read_Regs(b.startRegister, b.bytes) == 0 || link.LastException() != 0)
            ++run.failures;
    }
    run.elapsed = watch.elapsed();
    run.cpu = watch.cpu();
    link.closePort();
    return run;
}

Run readWithLibmodbus(const QString &path, int baud)
{
    Run run;
    modbus_t *ctx = modbus_new_rtu(path.toLocal8Bit().constData(), baud, 'N', 8, 1);
    if (!ctx || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "libmodbus cannot open %s\n", qPrintable(path));
        run.failures = Catalogue::BlockCount;
        if (ctx)
            modbus_free(ctx);
        return run;
    }
    modbus_set_slave(ctx, 247);
    modbus_set_response_timeout(ctx, 5, 0);
    uint16_t regs[128];
    const Stopwatch watch;
    for (const BlockDef &b : Catalogue::blocks()) {
        if (modbus_read_registers(ctx, b.startRegister, b.bytes / 2, regs) != b.bytes / 2)
            ++run.failures;
    }
    run.elapsed = watch.elapsed();
    run.cpu = watch.cpu();
    modbus_close(ctx);
    modbus_free(ctx);
    return run;
}

// Wire time plus one silent interval per request in RTU.
double protocolLimitSeconds(int framing, int baud)
{
    int chars = 0;
    for (const BlockDef &b : Catalogue::blocks())
        chars += wireChars(framing, b.bytes);
    LineSettings line;
    line.baud = baud;
    const double silence = framing == ModbusLink::Rtu ? double(LineSilence::interFrameGapUs(line)) / 1e6 : 0.0;
    return wireSeconds(chars, baud) + Catalogue::BlockCount * silence;
}

void print(const char *who, const char *framing, int baud, const Run &r, double limit)
{
    std::printf("%-9s %-5s %6d  %8.3f s  %8.3f s  %6.3f  %7.3f s  %5.2f %%  %d\n", who, framing, baud, r.elapsed,
                limit, r.elapsed / limit, r.cpu, 100.0 * r.cpu / r.elapsed, r.failures);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Reading all %d register blocks over a pseudo-terminal, tarvine-sim pacing at the baud rate\n",
                Catalogue::BlockCount);
    std::printf("Protocol limit = request and reply bytes x 10 bits / baud, plus in RTU 3.5 characters of silence\n"
                "(1.75 ms above 19200 baud) before each request.\n");
    std::printf("%-9s %-5s %6s  %10s  %10s  %6s  %9s  %7s  %s\n", "client", "mode", "baud", "elapsed", "limit",
                "ratio", "CPU", "CPU/el.", "failed");
    for (int baud : {9600, 115200}) {
        for (int framing : {ModbusLink::Ascii, ModbusLink::Rtu}) {
            const SimProcess sim(SimProcess::lineArguments(framing, baud) << QStringLiteral("--strict-silence"));
            if (sim.path().isEmpty()) {
                std::fprintf(stderr, "tarvine-sim did not start\n");
                return 1;
            }
            const double limit = protocolLimitSeconds(framing, baud);
            const Run ours = readWithLink(sim.path(), framing, baud);
            print("link", framing ? "RTU" : "ASCII", baud, ours, limit);
            if (framing == ModbusLink::Rtu) {
                const SimProcess lax(SimProcess::lineArguments(framing, baud));
                const Run theirs = readWithLibmodbus(lax.path(), baud);
                print("libmodbus", "RTU", baud, theirs, limit);
                std::printf("%-9s %-5s %6d  link / libmodbus = %.3f\n", "", "RTU", baud, ours.elapsed / theirs.elapsed);
            }
        }
    }
    return 0;
}
