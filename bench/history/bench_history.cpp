// The cost of the change history on a configuration download: the same download
// at 115200 baud with the history off and on. With the history on, the download
// first reads the configuration as found, and after the re-read commands reads it
// back as left; the read-back is reported on its own, as is the time spent in the
// history file.
#include "BenchSupport.h"
#include "ConfigurationTransfer.h"
#include "HistoryStore.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Baud = 115200;
constexpr int Runs = 3;

struct Timing {
    double total = 0;     // the whole download, seconds
    double readBack = 0;  // from the last command coil's end to the end
    bool ok = false;
};

Timing download(ModbusLink &link, Session &session)
{
    QElapsedTimer clock;
    qint64 lastCommandEnd = 0;
    // The read-back is the register reads after the last coil request (the re-read
    // commands and their handshake polls).
    const auto connection = QObject::connect(&link, &ModbusLink::traffic, [&](const LinkTraffic &t) {
        if (t.kind != LinkTraffic::Sent && (t.function == 5 || t.function == 1))
            lastCommandEnd = clock.nsecsElapsed();
    });
    ConfigurationTransfer transfer(link, session);
    clock.start();
    const ConfigurationTransfer::Result r = transfer.download();
    const qint64 end = clock.nsecsElapsed();
    QObject::disconnect(connection);
    return {.total = double(end) / 1e9, .readBack = double(end - lastCommandEnd) / 1e9, .ok = r.ok()};
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Whole-configuration download at %d baud over a pseudo-terminal, tarvine-sim pacing at the baud\n"
                "rate; best of %d runs each. \"on without read-back\" leaves out the as-left read-back after the\n"
                "re-read commands, which is given on its own. Target: on without read-back / off <= 1.05.\n",
                Baud, Runs);
    std::printf("%-5s  %9s  %9s  %9s  %9s  %7s\n", "mode", "off", "on", "read-back", "on w/o rb", "ratio");
    QTemporaryDir dir;
    for (int framing : {ModbusLink::Ascii, ModbusLink::Rtu}) {
        const SimProcess sim(SimProcess::lineArguments(framing, Baud) << QStringLiteral("--no-live")
                                                                      << QStringLiteral("--strict-silence"));
        Session session;
        programmerSession(session);
        QtSerialControl serial;
        ModbusLink link(&serial, &session);
        if (!openOnSim(link, sim, framing, Baud))
            return 1;
        QString error;
        const auto store = HistoryStore::open(dir.filePath(QStringLiteral("history-%1.sqlite").arg(framing)), &error);
        if (!store) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        // The download sends the image: start from the transmitter's own configuration.
        if (!ConfigurationTransfer(link, session).upload().ok()) {
            std::fprintf(stderr, "the upload failed\n");
            return 1;
        }
        Timing off{.total = 1e9}, on{.total = 1e9};
        bool ok = true;
        for (int run = 0; run < Runs; ++run) {
            session.setHistory(nullptr);
            const Timing a = download(link, session);
            session.setHistory(store.get());
            const Timing b = download(link, session);
            ok = ok && a.ok && b.ok;
            if (a.total < off.total)
                off = a;
            if (b.total - b.readBack < on.total - on.readBack)
                on = b;
        }
        const double withoutReadBack = on.total - on.readBack;
        std::printf("%-5s  %7.3f s  %7.3f s  %7.3f s  %7.3f s  %7.3f  %s\n", framing ? "RTU" : "ASCII", off.total,
                    on.total, on.readBack, withoutReadBack, withoutReadBack / off.total, ok ? "ok" : "FAILED");
        link.closePort();
    }
    return 0;
}
