#pragma once

#include "Codec.h"
#include "InstalledClock.h"
#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"
#include "SimDevice.h"
#include "SimSerialControl.h"
#include "SimTransmitter.h"
#include "Simulator.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A simulated transmitter on a manual clock with its output collected, for tests
// that speak raw frames to it.
class SimHarness : public ::testing::Test {
protected:
    // Builds the simulator (live values still unless asked for).
    void make(sim::SimOptions o = {})
    {
        if (!liveValues)
            o.liveValues = false;
        simulator = std::make_unique<sim::Simulator>(o);
        QObject::connect(tx(), &sim::SimTransmitter::transmit, [this](const QByteArray &b) {
            output += b;
            chunks.push_back({clock.nowMs(), b});
        });
    }
    sim::SimDevice &device() { return *simulator->device(); }
    sim::SimTransmitter *tx() { return simulator->transmitter(); }

    // Lets ms of manual time pass, one millisecond at a time, with queued events run.
    void run(int ms)
    {
        QCoreApplication::processEvents();
        for (int i = 0; i < ms; ++i) {
            clock.advance(1);
            QCoreApplication::processEvents();
        }
    }
    // Sends bytes and returns everything the transmitter answered within ms.
    QByteArray exchange(const QByteArray &request, int ms = 200)
    {
        output.clear();
        chunks.clear();
        tx()->receive(request);
        run(ms);
        return output;
    }

    struct Chunk {
        qint64 at;
        QByteArray bytes;
    };
    InstalledClock clock; // first in, last out
    bool liveValues = false;
    std::unique_ptr<sim::Simulator> simulator;
    QByteArray output;
    std::vector<Chunk> chunks;
};

// The program's link on the simulated transmitter in this process, on manual time that
// runs stepMs per pass of the event loop; the port is open and the user may write.
class SimLinkTest : public ::testing::Test {
protected:
    void start(sim::SimOptions o, int stepMs)
    {
        o.liveValues = false;
        simulator = std::make_unique<sim::Simulator>(o);
        serial = std::make_unique<sim::SimSerialControl>(simulator->transmitter());
        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(serial.get(), &session);
        link->setSettings({.port = QStringLiteral("/dev/sim"), .framing = o.comm.framing, .unitId = o.comm.unitId});
        ASSERT_TRUE(link->openPort());
        clock.run(stepMs);
    }

    InstalledClock clock; // first in, last out
    RecordingPrompter prompter;
    Session session;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::SimSerialControl> serial;
    std::unique_ptr<ModbusLink> link;
};

// Frames built for the tests independently of the simulator's code: the RTU checksum
// comes from the master's codec, the ASCII one is summed by hand.
inline QByteArray rtuFrame(const QByteArray &raw)
{
    const uint16_t crc = Calc_CRC(raw);
    return raw + char(crc & 0xFF) + char(crc >> 8);
}
inline QByteArray asciiFrame(const QByteArray &raw)
{
    uint8_t sum = 0;
    for (char c : raw)
        sum = uint8_t(sum + uint8_t(c));
    return ':' + (raw + char(uint8_t(-sum))).toHex().toUpper() + "\r\n";
}
