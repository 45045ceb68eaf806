#pragma once

#include <QList>
#include <QString>

// One serial port of this machine as a technician picks it: the device path, who
// made the adapter, its serial number, and the stable name udev gives it under
// /dev/serial/by-id (which survives replugging, unlike /dev/ttyUSB0).
struct SerialPortEntry {
    QString path;          // "/dev/ttyUSB0"
    QString manufacturer;  // empty when the device does not say
    QString serialNumber;
    QString description;   // the product text, e.g. "FT232R USB UART"
    QString stableName;    // "/dev/serial/by-id/usb-FTDI_..." or empty
};

// Lists the serial ports the machine has, USB adapters first, then by path.
class SerialPortList {
public:
    static constexpr const char *StableNameFolder = "/dev/serial/by-id";

    static QList<SerialPortEntry> available();
    // Fills in the stable names from stableNameFolder and puts the ports in list order
    // (the seam that lets both be tried without devices).
    static QList<SerialPortEntry> arrange(QList<SerialPortEntry> ports,
                                         const QString &stableNameFolder = QString::fromLatin1(StableNameFolder));
    // The link in folder that points at devicePath, or empty.
    static QString stableNameOf(const QString &devicePath, const QString &folder);
};
