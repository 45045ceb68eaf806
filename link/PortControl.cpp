#include "PortControl.h"

#include "NetworkAddress.h"

PortControl::PortControl(QObject *parent) : SerialControl(parent)
{
    for (SerialControl *control : {static_cast<SerialControl *>(&m_serial), static_cast<SerialControl *>(&m_network)}) {
        connect(control, &SerialControl::commEvent, this, [this, control](int event) {
            if (control == m_active)
                emit commEvent(event);
        });
        connect(control, &SerialControl::lostDevice, this, [this, control](const QString &reason) {
            if (control == m_active)
                emit lostDevice(reason);
        });
    }
}

bool PortControl::open(const QString &port, const QString &settings, QString *error)
{
    SerialControl *wanted = NetworkAddress::isNetworkText(port) ? static_cast<SerialControl *>(&m_network)
                                                                : static_cast<SerialControl *>(&m_serial);
    if (wanted != m_active) {
        m_active->close();
        // The line settings travel with the port text: the new control starts from them.
        if (settings.isEmpty())
            wanted->applySettings(m_active->settings(), nullptr);
        m_active = wanted;
    }
    return m_active->open(port, settings, error);
}
