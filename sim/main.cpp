// tarvine-sim: a simulated transmitter served on a pseudo-terminal, or with --tcp on
// a TCP port (loopback unless a host is named).
//
// While it runs, each line on standard input replaces the active faults, in the
// syntax of the fault options ("--split 3:40 --bad-checksum"); an empty line or
// "clear" switches every fault off.
#include "PtySimulator.h"
#include "SimDownload.h"
#include "Simulator.h"
#include "SimTransmitter.h"
#include "TcpSimulator.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// Applies one line of fault options to the running transmitter.
void applyFaultLine(const QByteArray &line, sim::SimTransmitter *transmitter)
{
    const QString text = QString::fromLocal8Bit(line).trimmed();
    sim::SimOptions o;
    QString error;
    if (text != QLatin1String("clear") && !text.isEmpty()
        && !sim::SimOptions::parse(QStringList{QStringLiteral("tarvine-sim")} + text.split(' ', Qt::SkipEmptyParts), &o, &error)) {
        std::fprintf(stderr, "tarvine-sim: %s\n", qPrintable(error.isEmpty() ? QStringLiteral("unknown command") : error));
        return;
    }
    transmitter->setFaults(o.faults);
    std::fprintf(stderr, "tarvine-sim: faults %s\n", text.isEmpty() || text == QLatin1String("clear") ? "off" : qPrintable(text));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvine-sim"));

    // The same version text as the program and tarvine-cli.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--version")) || arguments.contains(QStringLiteral("-v"))) {
        std::printf("Tarvine 2 %s\n", TARVINE_VERSION);
        return 0;
    }

    sim::SimOptions options;
    QString error, help;
    if (!sim::SimOptions::parse(QCoreApplication::arguments(), &options, &error, &help)) {
        if (error.isEmpty()) {
            std::fputs(qPrintable(help), stdout);
            return 0;
        }
        std::fprintf(stderr, "tarvine-sim: %s\n", qPrintable(error));
        return 2;
    }

    // SIGINT and SIGTERM end the event loop through a pipe, so shutdown runs normally.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("tarvine-sim: socketpair");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    sim::Simulator simulator(options);
    sim::PtySimulator pty(simulator.transmitter());
    sim::TcpSimulator network(simulator.transmitter());
    QString path;
    if (options.serveTcp) {
        QHostAddress host(options.tcpHost);
        if (host.isNull() && options.tcpHost.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            host = QHostAddress::LocalHost;
        if (host.isNull()) {
            std::fprintf(stderr, "tarvine-sim: --tcp needs an address to listen on, not %s\n", qPrintable(options.tcpHost));
            return 2;
        }
        if (!network.listen(host, options.tcpPort, &error)) {
            std::fprintf(stderr, "tarvine-sim: cannot listen on %s: %s\n", qPrintable(options.tcpHost), qPrintable(error));
            return 1;
        }
        path = network.address();
    } else {
        path = pty.start(&error);
        if (path.isEmpty()) {
            std::fprintf(stderr, "tarvine-sim: cannot open a pseudo-terminal: %s\n", qPrintable(error));
            return 1;
        }
    }
    if (!options.linkPath.isEmpty()) {
        // Replace a link left by an earlier run, never a real file.
        if (QFileInfo(options.linkPath).isSymLink())
            QFile::remove(options.linkPath);
        if (!QFile::link(path, options.linkPath)) {
            std::fprintf(stderr, "tarvine-sim: cannot create the link %s\n", qPrintable(options.linkPath));
            return 1;
        }
    }
    // Benchmarks and technicians see what a firmware download delivered.
    QObject::connect(simulator.transmitter()->download(), &sim::SimDownload::finished, [&simulator](qint64 bytes, bool accepted) {
        std::fprintf(stderr, "tarvine-sim: download of %lld bytes %s, %.0f ms on the wire\n", static_cast<long long>(bytes),
                     accepted ? "received" : "refused", simulator.transmitter()->download()->lastFileSpanMs());
    });
    QObject::connect(simulator.transmitter(), &sim::SimTransmitter::earlyRequestDropped, [](double gapMs, double neededMs) {
        std::fprintf(stderr, "tarvine-sim: request dropped: it started %.3f ms after the reply, %.3f ms are needed\n", gapMs,
                     neededMs);
    });
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);

    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pendingCommand;
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            commands.setEnabled(false); // end of input: keep serving
            return;
        }
        pendingCommand.append(buffer, n);
        for (qsizetype eol; (eol = pendingCommand.indexOf('\n')) >= 0;) {
            applyFaultLine(pendingCommand.left(eol), simulator.transmitter());
            pendingCommand.remove(0, eol + 1);
        }
    });

    const int rc = app.exec();
    pty.stop();
    if (!options.serveTcp && !options.linkPath.isEmpty() && QFileInfo(options.linkPath).symLinkTarget() == QFileInfo(path).absoluteFilePath())
        QFile::remove(options.linkPath);
    return rc;
}
