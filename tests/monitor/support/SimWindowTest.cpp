#include "SimWindowTest.h"

#include "SimDevice.h"
#include "SimSerialControl.h"
#include "SimTransmitter.h"
#include "Simulator.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <QWidget>

void SimWindowTest::SetUp()
{
    sim::SimOptions options;
    options.pacing = false;
    options.liveValues = false;
    simulator = std::make_unique<sim::Simulator>(options);
    serial = new sim::SimSerialControl(simulator->transmitter());
    session.setAccessLevel(Session::Programmer);
    session.setDeviceModel(QStringLiteral("Ostrel"));
    link = std::make_unique<ModbusLink>(serial, &session);
    serial->setParent(link.get());
    CommSettings settings;
    settings.port = QStringLiteral("/sim");
    link->setSettings(settings);
    ASSERT_TRUE(link->openPort());
    ASSERT_TRUE(workDir.isValid());
    previousDir = QDir::currentPath();
    QDir::setCurrent(workDir.path());
}

void SimWindowTest::TearDown()
{
    QDir::setCurrent(previousDir);
    link.reset();
    simulator.reset();
}

sim::SimDevice &SimWindowTest::device()
{
    return *simulator->device();
}

RegisterImage &SimWindowTest::regs()
{
    return device().image();
}

bool SimWindowTest::deviceCoil(int coil) const
{
    return simulator->device()->coil(coil);
}

QList<WireRequest> SimWindowTest::takeRequests()
{
    QList<WireRequest> out;
    for (const QByteArray &line : serial->takeWritten().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray frame = QByteArray::fromHex(line.mid(colon + 1).trimmed());
        if (frame.size() < 6)
            continue;
        WireRequest r;
        r.unit = uint8_t(frame[0]);
        r.function = uint8_t(frame[1]);
        r.address = uint8_t(frame[2]) << 8 | uint8_t(frame[3]);
        r.count = uint8_t(frame[4]) << 8 | uint8_t(frame[5]);
        out.append(r);
    }
    return out;
}

bool SimWindowTest::hasRead(const QList<WireRequest> &requests, int firstRegister)
{
    for (const WireRequest &r : requests)
        if (r.function == 3 && r.address == firstRegister)
            return true;
    return false;
}

QList<int> SimWindowTest::forcedOn(const QList<WireRequest> &requests)
{
    QList<int> out;
    for (const WireRequest &r : requests)
        if (r.function == 5 && r.count == 0xFF00)
            out.append(r.address);
    return out;
}

void SimWindowTest::open(QWidget *window)
{
    window->show();
    settle();
}

void SimWindowTest::settle()
{
    // Activation runs from the event loop; its requests finish inside it.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void SimWindowTest::refuse(int first, int last)
{
    sim::Faults f;
    f.exceptionCode = 4;
    f.exceptionFirst = first;
    f.exceptionLast = last;
    simulator->transmitter()->setFaults(f);
}

void SimWindowTest::click(QWidget *window, const char *button)
{
    auto *b = window->findChild<QPushButton *>(QString::fromLatin1(button));
    ASSERT_NE(b, nullptr) << button;
    ASSERT_TRUE(b->isEnabled()) << button;
    b->click();
    settle();
}
