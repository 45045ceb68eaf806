// The simulated transmitter on a pseudo-terminal, spoken to by independent peers:
// a libmodbus RTU client, and the program's link through its QSerialPort control
// against the tarvine-sim program.
#include "PtySimulator.h"
#include "SimDevice.h"
#include "SimRegisters.h"
#include "SimTransmitter.h"
#include "Simulator.h"

#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "RecordingPrompter.h"
#include "Session.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <modbus.h>

#include <cerrno>
#include <thread>

using namespace sim;

namespace {

// Runs a blocking client on its own thread while this thread serves the pty.
void runClient(const std::function<void()> &client)
{
    QEventLoop loop;
    std::thread worker([&] {
        client();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

} // namespace

TEST(SimOverPty, LibmodbusRtuClientReadsAndWritesTheTransmitter)
{
    SimOptions o;
    o.comm.framing = 1;
    o.comm.line.baud = 115200;
    o.liveValues = false;
    Simulator simulator(o);
    PtySimulator pty(simulator.transmitter());
    QString error;
    const QString path = pty.start(&error);
    ASSERT_FALSE(path.isEmpty()) << error.toStdString();
    simulator.device()->image().setU16At(2 * reg::DataIn, 0x1111);

    uint16_t tag[9] = {};
    int wrote = -1, readBack = -1, beyond = 0, beyondErrno = 0, otherUnit = 0, coilWrite = -1, readyRead = -1;
    uint16_t back[3] = {};
    uint8_t ready = 0;
    uint16_t version[14] = {};
    runClient([&] {
        modbus_t *ctx = modbus_new_rtu(path.toLocal8Bit().constData(), 115200, 'N', 8, 1);
        ASSERT_NE(ctx, nullptr);
        modbus_set_response_timeout(ctx, 2, 0);
        if (modbus_connect(ctx) != 0) {
            modbus_free(ctx);
            FAIL() << "connect: " << modbus_strerror(errno);
        }
        modbus_set_slave(ctx, 247);
        modbus_read_registers(ctx, 578, 9, tag);
        const uint16_t values[3] = {0xCAFE, 0x0102, 0xFFFF};
        wrote = modbus_write_registers(ctx, reg::DataIn, 3, values);
        readBack = modbus_read_registers(ctx, reg::DataIn, 3, back);
        beyond = modbus_read_registers(ctx, 3400, 3, back + 0);
        beyondErrno = errno;
        coilWrite = modbus_write_bit(ctx, 61, 1);
        readyRead = modbus_read_bits(ctx, SimDevice::ReadyCoil, 1, &ready);
        modbus_read_registers(ctx, 0, 14, version);
        modbus_set_slave(ctx, 5);
        modbus_set_response_timeout(ctx, 0, 200000);
        otherUnit = modbus_read_registers(ctx, 0, 1, back);
        modbus_close(ctx);
        modbus_free(ctx);
    });

    EXPECT_EQ(tag[0], ('F' << 8) | 'T') << "each register high byte first";
    EXPECT_EQ(tag[1], ('-' << 8) | '1');
    EXPECT_EQ(tag[2], ('0' << 8) | '1');
    EXPECT_EQ(wrote, 3);
    EXPECT_EQ(readBack, 3);
    EXPECT_EQ(simulator.device()->image().u16At(2 * reg::DataIn), 0xCAFE);
    EXPECT_EQ(simulator.device()->image().u16At(2 * reg::DataIn + 4), 0xFFFF);
    EXPECT_EQ(beyond, -1);
    EXPECT_EQ(beyondErrno, EMBXILADD);
    EXPECT_EQ(coilWrite, 1);
    EXPECT_EQ(readyRead, 1);
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(version[13] >> 8, 'N');
    EXPECT_EQ(otherUnit, -1) << "another unit ID gets no answer";
}

// tarvine-sim in its own process, the program's serial path on the other end.
class LinkOverPty : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        linkPath = dir.filePath(QStringLiteral("transmitter"));
        process.setProgram(QStringLiteral(TARVINE_SIM_PATH));
        process.setArguments({"--framing", GetParam() ? "rtu" : "ascii", "--baud", "115200", "--unit", "17",
                              "--link", linkPath});
        process.start();
        ASSERT_TRUE(process.waitForStarted(5000));
        ASSERT_TRUE(process.waitForReadyRead(5000)) << process.readAllStandardError().toStdString();
        ptyPath = QString::fromLocal8Bit(process.readLine()).trimmed();
        ASSERT_TRUE(ptyPath.startsWith("/dev/"));
        ASSERT_EQ(QFileInfo(linkPath).symLinkTarget(), ptyPath);
        process.setReadChannel(QProcess::StandardError);

        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(&serial, &session);
        link->setSettings({.port = linkPath, .settings = QStringLiteral("115200,N,8,1"), .framing = GetParam(), .unitId = 17});
        QString error;
        ASSERT_TRUE(link->openPort(&error)) << error.toStdString();
    }
    void TearDown() override
    {
        link.reset();
        process.terminate();
        EXPECT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_FALSE(QFileInfo::exists(linkPath)) << "the link goes with the simulator";
    }

    // Sends a line of fault options and waits until tarvine-sim has taken it.
    void switchFaults(const QByteArray &line)
    {
        process.write(line + '\n');
        QByteArray said;
        while (!said.contains("faults") && process.waitForReadyRead(5000))
            said += process.readAll();
        ASSERT_TRUE(said.contains("faults")) << said.toStdString();
    }

    QTemporaryDir dir;
    QString linkPath, ptyPath;
    QProcess process;
    RecordingPrompter prompter;
    Session session;
    QtSerialControl serial;
    std::unique_ptr<ModbusLink> link;
};

TEST_P(LinkOverPty, ReadsWritesCoilsAndFollowsANewAddress)
{
    ASSERT_NE(link->Read_Regs(578, 114), 0);
    EXPECT_EQ(link->DeviceTag(), "FT-101");
    // Every byte value passes the serial path unchanged, both ways.
    for (int first : {0, 12}) {
        QByteArray data(244, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(first + i);
        ASSERT_NE(link->Write_Regs(reg::DataIn, data), 0);
        link->image().store(reg::DataIn, QByteArray(244, '\0'));
        ASSERT_NE(link->Read_Regs(reg::DataIn, 244), 0);
        EXPECT_EQ(link->image().read(reg::DataIn, 244), data);
    }

    EXPECT_TRUE(link->Force_Coil(61, 0xFF00));
    ASSERT_NE(link->Read_Regs(0, 244), 0);
    EXPECT_EQ(link->image().u8At(26), 'N');

    ASSERT_NE(link->Write_Regs(reg::ModbusAddr, QByteArray("\x05\x00", 2)), 0);
    link->setUnitId(5);
    EXPECT_TRUE(link->Force_Coil(48, 0xFF00));
    ASSERT_NE(link->Read_Regs(reg::ModbusAddr, 2), 0);
    EXPECT_EQ(link->image().u8At(2 * reg::ModbusAddr), 5);
    EXPECT_TRUE(prompter.messages.isEmpty());

    // The port can be closed and opened again: the pty stays up.
    link->closePort();
    ASSERT_TRUE(link->openPort());
    EXPECT_NE(link->Read_Regs(252, 18), 0);
}

TEST_P(LinkOverPty, FaultsSwitchWhileServing)
{
    switchFaults("--exception 2:578-578");
    EXPECT_NE(link->Read_Regs(578, 18), 0);
    EXPECT_EQ(link->LastException(), 2);
    switchFaults("clear");
    EXPECT_NE(link->Read_Regs(578, 18), 0);
    EXPECT_EQ(link->LastException(), 0);
}

INSTANTIATE_TEST_SUITE_P(Framing, LinkOverPty, ::testing::Values(0, 1),
                         [](const auto &info) { return info.param ? "Rtu" : "Ascii"; });
