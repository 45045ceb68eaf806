#pragma once

#include "AdapterLikeSerialControl.h"
#include "CommSettingsFile.h"
#include "SimDevice.h"
#include "SimSerialControl.h"
#include "Simulator.h"
#include "TestPrompter.h"
#include "TfrmMain.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A main window connected to an in-process simulated transmitter through a port
// that refuses what a real one refuses, started from a TARVINE.INI in a scratch
// working directory.
class AppFixture : public ::testing::Test {
protected:
    void start(char modelLetter = 'N', bool writeSettings = true)
    {
        sim::SimOptions options;
        options.pacing = false;
        options.liveValues = false;
        options.modelLetter = modelLetter;
        simulator = std::make_unique<sim::Simulator>(options);
        if (writeSettings) {
            PcCommSettings pc;
            QString error;
            ASSERT_TRUE(CommSettingsFile(dir.path()).save(pc, &error));
        }
        main = std::make_unique<TfrmMain>(new AdapterLikeSerialControl(simulator->transmitter()), dir.path());
        main->firstActivation();
    }

    // A login that grants level without a dialog.
    void loginAs(int level)
    {
        main->services().login = [level](QWidget *, Session &s) {
            s.setLoggedIn(true);
            s.setAccessLevel(level);
            return true;
        };
    }

    sim::SimDevice &device() { return *simulator->device(); }

    TestPrompter prompter;
    QTemporaryDir dir;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<TfrmMain> main;
};
