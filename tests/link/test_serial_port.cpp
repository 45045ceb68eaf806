#include "Codec.h"
#include "ModbusLink.h"
#include "QtSerialControl.h"
#include "RecordingPrompter.h"
#include "Session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

// A pseudo-terminal: the link opens the slave by its path, the test talks on the master.
struct Pty {
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slavePath = QString::fromLocal8Bit(ptsname(master));
    }
    ~Pty() { closeMaster(); }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    int master = -1;
    QString slavePath;
};

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(pty.slavePath.isEmpty());
        session.setAccessLevel(Session::Programmer);
        link.setTransferLimit(ModbusLink::BufferBound);
    }
    void connectAs(int framing)
    {
        link.setSettings({.port = pty.slavePath, .settings = QStringLiteral("19200,N,8,1"), .framing = framing, .unitId = 1});
        QString error;
        ASSERT_TRUE(link.openPort(&error)) << error.toStdString();
    }

    Pty pty;
    RecordingPrompter prompter;
    QtSerialControl serial;
    Session session;
    ModbusLink link{&serial, &session};
};

} // namespace

TEST_F(SerialPortTest, PortNamesAndSettingsThePortCannotTake)
{
    EXPECT_EQ(QtSerialControl::devicePath("1"), "/dev/ttyS0");
    EXPECT_EQ(QtSerialControl::devicePath("12"), "/dev/ttyS11");
    EXPECT_EQ(QtSerialControl::devicePath("13"), "");
    EXPECT_EQ(QtSerialControl::devicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");

    QString error;
    EXPECT_FALSE(serial.open("13", "9600,N,8,1", &error));
    EXPECT_TRUE(error.contains("13"));
    EXPECT_FALSE(serial.open("/dev/tarvine-no-such-port", "9600,N,8,1", &error));
    EXPECT_TRUE(error.contains("does not exist")) << error.toStdString();
    EXPECT_FALSE(serial.open(pty.slavePath, "9600,N,9,1", &error));
    EXPECT_TRUE(error.contains("9 data bits")) << error.toStdString();
    EXPECT_FALSE(serial.isOpen());

    ASSERT_TRUE(serial.open(pty.slavePath, "9600,N,8,1", &error)) << error.toStdString();
    EXPECT_FALSE(serial.applySettings("14400,N,8,1", &error));
    EXPECT_TRUE(error.contains("14400"));
    EXPECT_FALSE(serial.applySettings("9600,X,8,1", &error));
    EXPECT_FALSE(serial.applySettings("9600", &error));
    EXPECT_EQ(serial.settings(), "9600,N,8,1");
    EXPECT_TRUE(serial.applySettings("38400,N,8,2", &error)) << error.toStdString();
    EXPECT_EQ(serial.settings(), "38400,N,8,2");
    // A pseudo-terminal takes no parity: the reason names it and the port keeps its settings.
    EXPECT_FALSE(serial.applySettings("9600,E,8,1", &error));
    EXPECT_TRUE(error.contains("parity E")) << error.toStdString();
    EXPECT_EQ(serial.settings(), "38400,N,8,2");

    // A port is open for one user at a time.
    QtSerialControl other;
    EXPECT_FALSE(other.open(pty.slavePath, "9600,N,8,1", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SerialPortTest, ADeviceThatGoesAwayClosesThePort)
{
    connectAs(ModbusLink::Ascii);
    QSignalSpy lost(&serial, &SerialControl::lostDevice);
    pty.closeMaster();
    const QDeadlineTimer deadline(5000);
    while (lost.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_EQ(lost.size(), 1);
    EXPECT_FALSE(link.portOpen());
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages[0].title, "Receive Failure");
    // Said as what happened, not only as the system's text.
    EXPECT_TRUE(prompter.messages[0].text.contains(pty.slavePath + " is gone (unplugged, or closed at the other end"))
        << prompter.messages[0].text.toStdString();
}

// The link against an independent Modbus stack: a libmodbus RTU server on the master side.
TEST_F(SerialPortTest, InteroperatesWithAnotherModbusStack)
{
    modbus_t *ctx = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
    ASSERT_NE(ctx, nullptr);
    modbus_mapping_t *map = modbus_mapping_new(100, 0, 3000, 0);
    ASSERT_NE(map, nullptr);
    modbus_set_slave(ctx, 1);
    modbus_set_socket(ctx, pty.master);
    modbus_set_indication_timeout(ctx, 0, 100000);
    for (int i = 0; i < 5; ++i)
        map->tab_registers[200 + i] = uint16_t(0x1000 * i + 0x0A0D);
    map->tab_bits[83] = 1; // "Ready" for the handshake below

    std::atomic<bool> stop{false};
    std::thread server([&] {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop) {
            const int rc = modbus_receive(ctx, query);
            if (rc > 0)
                modbus_reply(ctx, query, rc, map);
            else if (rc < 0 && errno == EIO)
                break;
        }
    });

    connectAs(ModbusLink::Rtu);
    EXPECT_EQ(link.Read_Regs(200, 10), 15);
    EXPECT_EQ(link.image().read(200, 10).toHex(), "0a0d1a0d2a0d3a0d4a0d");

    EXPECT_EQ(link.Write_Regs(100, QByteArray::fromHex("BEEF0001")), 8);
    // Registers beyond the server's map give its exception; the image keeps its bytes.
    link.image().store(2999, QByteArray(4, char(0x77)));
    EXPECT_GT(link.Read_Regs(2999, 4), 0);
    EXPECT_EQ(link.LastException(), 2);
    EXPECT_EQ(link.image().read(2999, 4), QByteArray(4, char(0x77)));

    EXPECT_TRUE(link.Force_Coil(82, ModbusFrame::CoilOn));
    EXPECT_TRUE(link.Force_Coil(10, ModbusFrame::CoilOff));
    // A command coil: the handshake finds "Ready" and clears it.
    EXPECT_TRUE(link.Force_Coil(48, ModbusFrame::CoilOn));
    EXPECT_TRUE(link.Read_Coil(82, 1));
    EXPECT_TRUE(link.Read_Coil(48, 8));
    EXPECT_EQ(link.frameData().toHex(), "01");
    link.closePort();

    stop = true;
    server.join();
    EXPECT_EQ(map->tab_registers[100], 0xBEEF);
    EXPECT_EQ(map->tab_registers[101], 0x0001);
    EXPECT_EQ(map->tab_bits[82], 1);
    EXPECT_EQ(map->tab_bits[48], 1);
    EXPECT_EQ(map->tab_bits[83], 0);
    EXPECT_TRUE(prompter.messages.isEmpty());
    modbus_mapping_free(map);
    modbus_free(ctx); // the master descriptor stays the Pty's to close
}
