#pragma once

#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"
#include "SimSerialControl.h"
#include "SimTransmitter.h"
#include "Simulator.h"

#include <memory>

// A simulated transmitter at the given settings behind an in-process port, and a
// link on that port that starts at the program's defaults (9600, ASCII, 247).
struct Bench {
    explicit Bench(int framing, int baud, int unitId, bool silent = false, char parity = 'N')
    {
        sim::SimOptions o = sim::SimOptions::immediate();
        o.comm.framing = framing;
        o.comm.unitId = unitId;
        o.comm.line.baud = baud;
        o.comm.line.parity = parity;
        o.faults.noReply = silent;
        simulator = std::make_unique<sim::Simulator>(o);
        serial = std::make_unique<sim::SimSerialControl>(simulator->transmitter());
        link = std::make_unique<ModbusLink>(serial.get(), &session);
        link->setSettings({QStringLiteral("/sim"), QStringLiteral("9600,N,8,1"), ModbusLink::Ascii, 247});
    }
    RecordingPrompter prompter;
    Session session;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::SimSerialControl> serial;
    std::unique_ptr<ModbusLink> link;
};
