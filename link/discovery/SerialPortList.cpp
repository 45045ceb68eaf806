#include "SerialPortList.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <tuple>

namespace {

bool isUsb(const QString &path)
{
    return path.startsWith(QLatin1String("/dev/ttyUSB")) || path.startsWith(QLatin1String("/dev/ttyACM"));
}

// USB adapters first, then by name with numbers in numeric order (ttyS2 before ttyS10).
std::tuple<bool, QString, int> sortKey(const QString &path)
{
    qsizetype digits = path.size();
    while (digits > 0 && path.at(digits - 1).isDigit())
        --digits;
    return {!isUsb(path), path.left(digits), path.mid(digits).toInt()};
}

} // namespace

QString SerialPortList::stableNameOf(const QString &devicePath, const QString &folder)
{
    const QString target = QFileInfo(devicePath).absoluteFilePath();
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (link.isSymLink() && QDir::cleanPath(link.symLinkTarget()) == target)
            return link.absoluteFilePath();
    }
    return {};
}

QList<SerialPortEntry> SerialPortList::arrange(QList<SerialPortEntry> ports, const QString &stableNameFolder)
{
    for (SerialPortEntry &port : ports)
        port.stableName = stableNameOf(port.path, stableNameFolder);
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortEntry &a, const SerialPortEntry &b) {
        return sortKey(a.path) < sortKey(b.path);
    });
    return ports;
}

QList<SerialPortEntry> SerialPortList::available()
{
    QList<SerialPortEntry> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.manufacturer().trimmed(), info.serialNumber().trimmed(),
                      info.description().trimmed(), {}});
    return arrange(ports);
}
