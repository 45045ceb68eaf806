#pragma once

#include "CommSettingsFile.h"
#include "TransmitterIdentifier.h"

#include <QObject>

class ModbusLink;
class Session;

// The PC side of the link for the whole program: the settings in use, the file
// that keeps them, and the steps that bring them to the port and the transmitter.
class CommSetup : public QObject {
    Q_OBJECT
public:
    CommSetup(ModbusLink &link, Session &session, const QString &workDir, QObject *parent = nullptr);

    ModbusLink &link() { return m_link; }
    Session &session() { return m_session; }
    PcCommSettings &pc() { return m_pc; }
    CommSettingsFile &file() { return m_file; }
    TransmitterIdentifier &identifier() { return m_identifier; }

    // Loads TARVINE.INI, opens the port and identifies the transmitter.
    void startupConnection();
    // The opening sequence with the settings in use.
    bool openPort();
    // Writes the settings in use to TARVINE.INI; a failure is shown to the user.
    bool save();
    // Tells the main window that the port panels need refreshing.
    void notifyPanels() { emit panelsChanged(); }

signals:
    void panelsChanged();

private:
    ModbusLink &m_link;
    Session &m_session;
    PcCommSettings m_pc;
    CommSettingsFile m_file;
    TransmitterIdentifier m_identifier;
};
