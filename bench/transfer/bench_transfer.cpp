// Uploads and downloads the whole configuration through ConfigurationTransfer, over
// a pseudo-terminal served by tarvine-sim in its own process (so this process's CPU
// time is the program's own), and compares the elapsed time with the time the bytes
// actually exchanged need on the wire at that baud rate (8N1: ten bits a character)
// plus, in RTU, the silent interval the protocol asks before each request; the
// simulator drops a request that comes sooner (--strict-silence).
#include "BenchSupport.h"
#include "ConfigurationTransfer.h"
#include "LineSilence.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "Session.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// The real port with a count of every byte that crosses it.
class CountingSerial final : public SerialControl {
public:
    CountingSerial()
    {
        connect(&m_port, &SerialControl::commEvent, this, &SerialControl::commEvent);
        connect(&m_port, &SerialControl::lostDevice, this, &SerialControl::lostDevice);
    }
    bool open(const QString &port, const QString &settings, QString *error) override { return m_port.open(port, settings, error); }
    bool applySettings(const QString &settings, QString *error) override { return m_port.applySettings(settings, error); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    QString settings() const override { return m_port.settings(); }
    QString portName() const override { return m_port.portName(); }
    bool write(const QByteArray &bytes) override
    {
        bytesOnWire += bytes.size();
        ++requests;
        return m_port.write(bytes);
    }
    QByteArray readAll() override
    {
        const QByteArray bytes = m_port.readAll();
        bytesOnWire += bytes.size();
        return bytes;
    }
    int bytesWaiting() const override { return m_port.bytesWaiting(); }
    void discardInput() override { m_port.discardInput(); }
    qint64 bytesToWrite() const override { return m_port.bytesToWrite(); }
    int outBufferSize() const override { return m_port.outBufferSize(); }

    qint64 bytesOnWire = 0;
    int requests = 0;

private:
    QtSerialControl m_port;
};

void measure(const char *what, int framing, int baud, ModbusLink &link, CountingSerial &serial, Session &session,
             bool upload)
{
    ConfigurationTransfer transfer(link, session);
    serial.bytesOnWire = 0;
    serial.requests = 0;
    const Stopwatch watch;
    const ConfigurationTransfer::Result r = upload ? transfer.upload() : transfer.download();
    const double elapsed = watch.elapsed();
    const double cpu = watch.cpu();
    LineSettings line;
    line.baud = baud;
    const double silence = framing == ModbusLink::Rtu ? double(LineSilence::interFrameGapUs(line)) / 1e6 : 0.0;
    const double limit = wireSeconds(serial.bytesOnWire, baud) + serial.requests * silence;
    std::printf("%-9s %-5s %6d  %8.3f s  %8.3f s  %6.3f  %7.3f s  %5.2f %%  %7lld  %s\n", what,
                framing ? "RTU" : "ASCII", baud, elapsed, limit, elapsed / limit, cpu, 100.0 * cpu / elapsed,
                static_cast<long long>(serial.bytesOnWire), r.ok() ? "ok" : qPrintable(r.summary));
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Whole configuration (128 blocks; download adds the six re-read coils) over a pseudo-terminal,\n"
                "tarvine-sim pacing at the baud rate. Limit = bytes exchanged x 10 bits / baud, plus in RTU\n"
                "the silent interval (3.5 characters, 1.75 ms above 19200 baud) before each request.\n");
    std::printf("%-9s %-5s %6s  %10s  %10s  %6s  %9s  %7s  %7s  %s\n", "operation", "mode", "baud", "elapsed",
                "limit", "ratio", "CPU", "CPU/el.", "bytes", "result");
    for (int baud : {9600, 115200}) {
        for (int framing : {ModbusLink::Ascii, ModbusLink::Rtu}) {
            const SimProcess sim(SimProcess::lineArguments(framing, baud) << QStringLiteral("--no-live")
                                                                          << QStringLiteral("--strict-silence"));
            Session session;
            programmerSession(session);
            CountingSerial serial;
            ModbusLink link(&serial, &session);
            if (!openOnSim(link, sim, framing, baud))
                return 1;
            measure("upload", framing, baud, link, serial, session, true);
            measure("download", framing, baud, link, serial, session, false);
            link.closePort();
        }
    }
    return 0;
}
