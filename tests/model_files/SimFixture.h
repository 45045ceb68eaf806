#pragma once

#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"
#include "SimDevice.h"
#include "SimSerialControl.h"
#include "SimTransmitter.h"
#include "Simulator.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

// An in-process simulated transmitter (no pacing, no live values) behind a serial
// control.
class SimulatedUnit {
protected:
    static sim::SimOptions options()
    {
        sim::SimOptions o;
        o.pacing = false;
        o.liveValues = false;
        return o;
    }

    sim::SimDevice *device() { return simulator.device(); }
    RegisterImage &unitImage() { return device()->image(); }

    sim::Simulator simulator{options()};
    sim::SimSerialControl serial{simulator.transmitter()};
};

// The link talking to the simulated transmitter, with a logged-in programmer and a
// scripted prompter. Records the registers written and the coils forced on the
// transmitter side.
class SimFixture : public ::testing::Test, protected SimulatedUnit {
protected:
    void SetUp() override
    {
        session.setAccessLevel(Session::Programmer);
        session.setLoggedIn(true);
        session.setDeviceModel(QStringLiteral("Ostrel"));
        ASSERT_TRUE(link.openPort());
        QObject::connect(device(), &sim::SimDevice::registersWritten, [this](int first, int count) {
            writes.emplace_back(first, count);
        });
        QObject::connect(device(), &sim::SimDevice::coilForced, [this](int coil, bool on) {
            if (on)
                coilsOn.push_back(coil);
        });
    }

    bool wroteRegister(int reg) const
    {
        for (const auto &[first, count] : writes)
            if (reg >= first && reg < first + count)
                return true;
        return false;
    }

    RecordingPrompter prompter;
    Session session;
    ModbusLink link{&serial, &session};
    std::vector<std::pair<int, int>> writes;   // first register, register count
    std::vector<int> coilsOn;
};
