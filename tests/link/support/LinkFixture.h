#pragma once

#include "FakeUnit.h"
#include "InstalledClock.h"
#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "ScriptedSerialControl.h"
#include "Session.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// A wait that never ends is a failure, not a hung test run: after 10 s the link's
// port is closed, which ends any request.
inline void armWatchdog(QTimer &watchdog, ModbusLink &link)
{
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&link] {
        ADD_FAILURE() << "a link request never ended";
        link.closePort();
    });
    watchdog.start(10000);
}

// A link on a scripted port, answered by a FakeUnit, with a manual clock and a
// recording prompter; the port is open and the user may write.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session.setAccessLevel(Session::Programmer);
        link = std::make_unique<ModbusLink>(&serial, &session);
        link->setSettings({.unitId = 1});
        serial.setResponder(unit.responder());
        ASSERT_TRUE(link->openPort());
        armWatchdog(watchdog, *link);
    }
    void useFraming(int framing)
    {
        unit.framing = framing;
        link->setFraming(framing);
    }
    // Runs f from the event loop, after everything queued so far (so inside a wait
    // that starts now).
    static void later(std::function<void()> f)
    {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(f), Qt::QueuedConnection);
    }
    QByteArray imageBytes(int firstRegister, int count) const { return link->image().read(firstRegister, count); }
    QList<int> forcedCoils(bool on) const
    {
        QList<int> out;
        for (const QByteArray &r : unit.requests) {
            if (r.size() >= 6 && r[1] == 5 && (uint8_t(r[4]) == 0xFF) == on)
                out.append(uint8_t(r[2]) << 8 | uint8_t(r[3]));
        }
        return out;
    }

    InstalledClock clock; // first in, last out
    RecordingPrompter prompter;
    ScriptedSerialControl serial;
    Session session;
    FakeUnit unit{ModbusLink::Ascii, 1};
    std::unique_ptr<ModbusLink> link;
    QTimer watchdog;
};
