#pragma once

#include "ModbusLink.h"
#include "RecordingPrompter.h"
#include "Session.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "SimDevice.h"
#include "SimSerialControl.h"
#include "Simulator.h"

class QWidget;

// One request as it reached the transmitter.
struct WireRequest {
    int unit = 0;
    int function = 0;
    int address = 0;  // first register or coil
    int count = 0;    // registers or coils; the value for function 5
};

// A link on the in-process simulated transmitter (no pacing, no live process, so
// a test sets the values it checks), a scripted prompter, a programmer logged
// in, and a scratch working directory for TARVINE.INI.
class SimWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    sim::SimDevice &device();
    RegisterImage &regs();
    // Requests sent since the last call, decoded from the ASCII frames.
    QList<WireRequest> takeRequests();
    static bool hasRead(const QList<WireRequest> &requests, int firstRegister);
    static QList<int> forcedOn(const QList<WireRequest> &requests);
    bool deviceCoil(int coil) const;

    // The transmitter answers requests touching registers first..last with
    // exception 4 (Device Failure).
    void refuse(int first, int last);
    // Clicks an enabled button and lets what it started run.
    static void click(QWidget *window, const char *button);

    // Shows a window and lets its activation run.
    static void open(QWidget *window);
    // Creates and opens a window that works on the link and session alone.
    template <typename W>
    std::unique_ptr<W> openOnLink()
    {
        auto w = std::make_unique<W>(*link, session);
        open(w.get());
        return w;
    }
    static void settle();

    std::unique_ptr<sim::Simulator> simulator;
    sim::SimSerialControl *serial = nullptr;
    Session session;
    std::unique_ptr<ModbusLink> link;
    RecordingPrompter prompter;
    QTemporaryDir workDir;
    QString previousDir;
};
