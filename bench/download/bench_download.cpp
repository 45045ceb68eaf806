// The firmware download as the download window runs it: the File Download
// command with its handshake, then the file in output-buffer chunks that each
// wait for the port to drain. tarvine-sim reads the pty no faster than the baud
// rate and reports how long the file took on the wire.
#include "BenchSupport.h"
#include "Codec.h"
#include "FirmwareSender.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 FileBytes = 100 * 1024;

struct Result {
    bool ok = false;
    double sendSeconds = 0;  // until the program saw every byte leave the port
    double wireSeconds = 0;  // first to last byte as the transmitter received them
    double longestGapMs = 0;
    double longestGapAt = 0; // seconds into the send
    int gapsOver30 = 0;
    qint64 received = 0;
};

Result runOnce(int baud)
{
    Result r;
    QProcess sim;
    sim.setProgram(QStringLiteral(TARVINE_SIM_PATH));
    sim.setArguments({QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--no-live")});
    sim.start();
    if (!sim.waitForReadyRead(5000))
        return r;
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();

    Session session;
    session.setAccessLevel(Session::Programmer);
    QtSerialControl serial;
    ModbusLink link(&serial, &session);
    CommSettings settings;
    settings.port = path;
    settings.settings = QStringLiteral("%1,N,8,1").arg(baud);
    link.setSettings(settings);
    if (!link.openPort() || !link.Force_Coil(42, ModbusFrame::CoilOn))
        return r;

    QByteArray data(FileBytes, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 13 + i / 253);
    QBuffer file(&data);
    file.open(QIODevice::ReadOnly);

    QElapsedTimer clock;
    EventLoopProbe probe;
    link.setCommOverride(true);
    FirmwareSender sender(serial);
    clock.start();
    probe.start();
    const FirmwareSender::Result sent = sender.send(file);
    r.sendSeconds = double(clock.nsecsElapsed()) / 1e9;
    probe.stop();
    r.longestGapMs = probe.longestGapMs();
    r.longestGapAt = probe.longestGapAt();
    r.gapsOver30 = probe.gapsOver(30);
    link.setCommOverride(false);

    // The simulator reports the file once the line has been quiet for a second.
    const QRegularExpression report(QStringLiteral("download of (\\d+) bytes received, (\\d+) ms on the wire"));
    QByteArray errors;
    for (int waited = 0; waited < 200 && !report.match(QString::fromLocal8Bit(errors)).hasMatch(); ++waited) {
        sim.waitForReadyRead(1000);
        errors += sim.readAllStandardError();
    }
    const QRegularExpressionMatch m = report.match(QString::fromLocal8Bit(errors));
    sim.terminate();
    sim.waitForFinished(5000);
    if (sent != FirmwareSender::Result::Sent || !m.hasMatch())
        return r;
    r.received = m.captured(1).toLongLong();
    r.wireSeconds = m.captured(2).toDouble() / 1000.0;
    r.ok = true;
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("firmware download of %lld bytes over a pseudo-terminal, 8N1\n", static_cast<long long>(FileBytes));
    // Optional: the baud rates to run, e.g. "bench_download 115200".
    QList<int> bauds;
    for (int i = 1; i < argc; ++i)
        bauds.append(atoi(argv[i]));
    if (bauds.isEmpty())
        bauds = {115200, 9600};
    for (int baud : bauds) {
        const Result r = runOnce(baud);
        if (!r.ok) {
            std::printf("%6d baud: the download did not complete\n", baud);
            continue;
        }
        const double limit = wireSeconds(FileBytes, baud);
        std::printf("%6d baud: transmitter got %lld bytes; on the wire %.2f s = %.3f x the limit of %.2f s "
                    "(target <= 1.05); program done after %.2f s; longest GUI stall %.1f ms at %.2f s (target < 30 ms), "
                    "%d stalls over 30 ms\n",
                    baud, static_cast<long long>(r.received), r.wireSeconds, r.wireSeconds / limit, limit, r.sendSeconds,
                    r.longestGapMs, r.longestGapAt, r.gapsOver30);
    }
    return 0;
}
