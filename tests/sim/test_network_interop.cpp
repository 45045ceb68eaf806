// Modbus TCP against an independent implementation (libmodbus), both ways, on
// 127.0.0.1: its client against the simulated transmitter's TCP front end, and the
// program's link against its server. Each blocking libmodbus side runs on a thread of
// its own while this thread runs the Qt side's event loop.
#include "SimDevice.h"
#include "SimTransmitter.h"
#include "Simulator.h"
#include "TcpSimulator.h"

#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"
#include "TcpSerialControl.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace {
// Runs the event loop until done is set (bounded: a hang fails instead of blocking).
void spinUntil(const std::atomic<bool> &done)
{
    QElapsedTimer bound;
    bound.start();
    while (!done && bound.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}
} // namespace

TEST(ModbusTcpInterop, AnIndependentClientReadsAndWritesTheSimulator)
{
    sim::SimOptions o = sim::SimOptions::immediate();
    o.mbap = true;
    sim::Simulator simulator(o);
    sim::TcpSimulator server(simulator.transmitter());
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const int port = server.port();
    std::atomic<bool> done = false;
    int read = -1, wrote = -1, readBack = -1, refused = -1;
    uint16_t tag[9] = {};
    uint16_t back[3] = {};
    std::thread client([&] {
        modbus_t *ctx = modbus_new_tcp("127.0.0.1", port);
        modbus_set_response_timeout(ctx, 2, 0);
        if (modbus_connect(ctx) == 0) {
            modbus_set_slave(ctx, 247);
            read = modbus_read_registers(ctx, 578, 9, tag);
            const uint16_t values[3] = {0x1111, 0x2222, 0x3333};
            wrote = modbus_write_registers(ctx, 600, 3, values);
            readBack = modbus_read_registers(ctx, 600, 3, back);
            refused = modbus_read_registers(ctx, 3400, 3, back + 0) < 0 ? errno : 0;
            modbus_close(ctx);
        }
        modbus_free(ctx);
        done = true;
    });
    spinUntil(done);
    client.join();
    EXPECT_EQ(read, 9);
    EXPECT_EQ(tag[0], simulator.transmitter()->device()->image().reg(578));
    EXPECT_EQ(wrote, 3);
    EXPECT_EQ(readBack, 3);
    EXPECT_EQ(back[2], 0x3333);
    EXPECT_EQ(refused, EMBXILADD); // the exception reaches it as a Modbus exception
}

TEST(ModbusTcpInterop, TheLinkTalksToAnIndependentServer)
{
    modbus_t *ctx = modbus_new_tcp("127.0.0.1", 0);
    const int listener = modbus_tcp_listen(ctx, 1);
    ASSERT_GE(listener, 0) << modbus_strerror(errno);
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&bound), &size), 0);
    modbus_mapping_t *map = modbus_mapping_new(0, 0, 1000, 0);
    map->tab_registers[600] = 0xABCD;
    std::atomic<bool> stop = false;
    std::thread serverThread([&] {
        int socket = listener;
        if (modbus_tcp_accept(ctx, &socket) < 0)
            return;
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stop) {
            const int n = modbus_receive(ctx, query);
            if (n < 0)
                break;
            if (n > 0)
                modbus_reply(ctx, query, n, map);
        }
    });

    RecordingPrompter prompter;
    Session session;
    session.setAccessLevel(Session::Programmer);
    TcpSerialControl tcp;
    {
        ModbusLink link(&tcp, &session);
        CommSettings s;
        s.port = QStringLiteral("127.0.0.1:%1").arg(ntohs(bound.sin_port));
        s.framing = ModbusLink::Tcp;
        s.unitId = 1;
        link.setSettings(s);
        ASSERT_TRUE(link.openPort());
        EXPECT_TRUE(link.readRegisters(600, 2));
        EXPECT_EQ(link.image().reg(600), 0xABCD);
        EXPECT_TRUE(link.writeRegisters(601, QByteArray::fromHex("00070008")));
        EXPECT_FALSE(link.readRegisters(999, 4)); // beyond the server's map: an exception
        EXPECT_EQ(link.LastException(), 2);
        stop = true;
        link.closePort(); // ends the server's receive
    }
    serverThread.join();
    EXPECT_EQ(map->tab_registers[601], 7);
    EXPECT_EQ(map->tab_registers[602], 8);
    modbus_mapping_free(map);
    ::close(listener);
    modbus_close(ctx);
    modbus_free(ctx);
}
