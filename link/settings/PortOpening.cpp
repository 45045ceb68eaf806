#include "PortOpening.h"

#include "ModbusLink.h"
#include "Prompter.h"
#include "SerialControl.h"

namespace {
const QString Title = QStringLiteral("Tarvine 2");
}

bool runOpeningSequence(ModbusLink &link, const PcCommSettings &pc)
{
    CommSettings s = pc.linkSettings();
    QString error;
    // The port text is refused here, before the settings; the open below then says why it failed.
    if (!SerialControl::portTextValid(s.port, &error))
        showMessage(QStringLiteral("Error modifying Port/Mode: ") + error, Title, Prompter::Information);
    if (!s.settings.isEmpty() && link.serial() && !link.serial()->applySettings(s.settings, &error)) {
        showMessage(QStringLiteral("Error when changing Port Settings: ") + error, Title, Prompter::Information);
        // The port keeps the parameters it had; the panel shows what it really uses.
        s.settings = link.serial()->settings();
    }
    link.setSettings(s);
    if (link.portOpen())
        return true;
    if (!link.openPort(&error)) {
        showMessage(QStringLiteral("Open Com Port Error: Check unit, cabling, or ") + error, Title,
                    Prompter::Information);
        link.closePort();
        // The next request then says that the port must be opened first.
        link.armMustOpenLatch();
        return false;
    }
    return true;
}
