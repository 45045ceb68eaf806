// The command coils the simulated transmitter understands. Each is one entry in
// the device's coil → command table.
#include "SimCalibration.h"
#include "SimConfigCommands.h"
#include "SimDevice.h"
#include "SimMaintenance.h"
#include "SimRegisters.h"
#include "SimWellTest.h"

#include <QDateTime>

#include <memory>

namespace sim {

namespace {

void putText(SimDevice &d, int byteOffset, int fieldLen, const char *text)
{
    d.image().setTextAt(byteOffset, fieldLen, QString::fromLatin1(text));
}

void clearDataOut(SimDevice &d)
{
    d.image().store(reg::DataOut, QByteArray(reg::CommandAreaBytes, '\0'));
}

// Revision texts at the byte offsets the program reads them from; the first
// letter of the application version tells the model.
void writeVersionInfo(SimDevice &d)
{
    clearDataOut(d);
    putText(d, 0, 6, "B1.04");
    putText(d, 6, 20, "OS 4.2.1");
    const QByteArray app = QByteArray(1, d.modelLetter()) + "3.21.07";
    d.image().setTextAt(26, 12, QString::fromLatin1(app));
    putText(d, 38, 10, "E2.10");
    putText(d, 48, 10, "H5.2");
}

void zeroTotal(SimDevice &d, int block)
{
    d.image().setF64At(2 * block, 0.0);
    d.image().setF64At(2 * block + reg::TotalForward, 0.0);
}

// Keeps the transmitter's own clock as an offset from the host's.
class DeviceClock {
public:
    QDateTime now() const { return QDateTime::currentDateTime().addSecs(m_offsetSecs); }
    void set(const QDateTime &t) { m_offsetSecs = QDateTime::currentDateTime().secsTo(t); }

private:
    qint64 m_offsetSecs = 0;
};

QString digitsAt(SimDevice &d, int reg)
{
    QString digits;
    for (QChar c : d.image().textAt(2 * reg, reg::CommandAreaBytes))
        if (c.isDigit())
            digits += c;
    return digits;
}

void showText(SimDevice &d, const QString &text)
{
    clearDataOut(d);
    d.image().setTextAt(2 * reg::DataOut, reg::CommandAreaBytes, text);
}

} // namespace

void SimDevice::registerStandardCommands()
{
    registerCalibrationCommands(*this);
    addCommand(61, writeVersionInfo);
    registerMaintenanceCommands(*this);

    // Address, framing and line speed change once the coil's reply is out.
    addCommand(48, [](SimDevice &d) { d.afterReply([&d] { d.loadCommFromRegisters(); }); });
    addCommand(52, [](SimDevice &d) {
        d.afterReply([&d] {
            const int protocol = d.image().u8At(2 * reg::SciProtocol);
            emit d.continuousOutput(protocol == reg::ProtocolContinuousAC || protocol == reg::ProtocolContinuousRH);
        });
    });
    addCommand(40, [](SimDevice &d) { d.afterReply([&d] { d.reboot(RebootMs); }); });
    addCommand(41, [](SimDevice &d) {
        // Factory defaults everywhere but the serial interface, which must keep talking.
        const int commFirst = reg::ModbusAddr;
        const int commBytes = 2 * (reg::Sci + 4 - reg::ModbusAddr);
        const QByteArray comm = d.image().read(commFirst, commBytes);
        d.image().setBytes(d.defaults());
        d.image().store(commFirst, comm);
    });

    addCommand(55, [](SimDevice &d) { zeroTotal(d, reg::MassTotal); });
    addCommand(56, [](SimDevice &d) { zeroTotal(d, reg::VolumeTotal); });
    addCommand(57, [](SimDevice &d) { zeroTotal(d, reg::StdVolTotal); });
    addCommand(58, [](SimDevice &d) { zeroTotal(d, reg::ConcenTotal); });
    addCommand(53, [](SimDevice &d) { zeroTotal(d, reg::BatchTotal); });
    addCommand(59, [](SimDevice &d) { zeroTotal(d, reg::BatchTotal); });
    addCommand(60, [](SimDevice &d) { d.image().setF64At(2 * reg::TimeTotal, 0.0); });
    addCommand(67, [](SimDevice &d) { zeroTotal(d, reg::NetOilTotal); });
    addCommand(68, [](SimDevice &d) { zeroTotal(d, reg::NetOilPWTotal); });

    addCommand(54, [](SimDevice &d) {
        // An erased log: the pointer wraps to "newest is entry 0", every entry empty.
        QByteArray log(98, '\0');
        log[1] = char(48);
        d.image().store(reg::ErrorLog, log);
    });

    registerConfigCommands(*this);
    registerWellTestCommands(*this);

    auto clock = std::make_shared<DeviceClock>();
    addCommand(32, [clock](SimDevice &d) { showText(d, clock->now().toString(QStringLiteral("HHmmss"))); });
    addCommand(34, [clock](SimDevice &d) { showText(d, clock->now().toString(QStringLiteral("MMddyy"))); });
    addCommand(33, [clock](SimDevice &d) {
        const QTime t = QTime::fromString(digitsAt(d, reg::DataIn), QStringLiteral("HHmmss"));
        if (t.isValid())
            clock->set(QDateTime(clock->now().date(), t));
        else
            d.setCoil(BusyCoil, true);
    });
    addCommand(35, [clock](SimDevice &d) {
        QDate date = QDate::fromString(digitsAt(d, reg::DataIn), QStringLiteral("MMddyy"));
        if (date.isValid()) {
            // Two-digit years are this century.
            if (date.year() < 2000)
                date = date.addYears(100);
            clock->set(QDateTime(date, clock->now().time()));
        } else {
            d.setCoil(BusyCoil, true);
        }
    });
}

} // namespace sim
