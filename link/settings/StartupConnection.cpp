#include "StartupConnection.h"

#include "ModbusLink.h"
#include "PortOpening.h"
#include "Prompter.h"
#include "TransmitterIdentifier.h"

#include <QDir>

PcCommSettings runStartupConnection(ModbusLink &link, CommSettingsFile &file, TransmitterIdentifier &identifier)
{
    const QString title = QStringLiteral("Tarvine 2");
    if (link.portOpen())
        link.closePort();
    link.armMustOpenLatch();

    QStringList ignored;
    const bool haveFile = file.ini().exists();
    const PcCommSettings pc = file.load(&ignored);
    if (!ignored.isEmpty())
        showMessage(ignored.join(QLatin1Char('\r')), title, Prompter::Warning);

    link.setCommOverride(true);
    const bool open = runOpeningSequence(link, pc);
    link.setCommOverride(false);
    if (!open && !haveFile) {
        showMessage(QStringLiteral("No %1 was found in %2, so the default settings were used: port %3, %4, "
                                   "ASCII, unit ID %5.\rChoose the transmitter's port under Comm Port.")
                        .arg(CommSettingsFile::FileName, QDir::toNativeSeparators(QDir(file.ini().dir()).absolutePath()),
                             pc.port, pc.settingsText(), QString::number(pc.unitId)),
                    title, Prompter::Information);
    }
    if (open)
        identifier.identify();
    return pc;
}
