#pragma once

#include "CommSettingsFile.h"
#include "TransmitterIdentifier.h"

#include <QObject>

#include <optional>

class ModbusLink;
class Session;

// Link settings the transmitter has accepted and now answers with.
struct AcceptedCommChange {
    std::optional<int> unitId = std::nullopt;
    std::optional<int> framing = std::nullopt;
    std::optional<QString> line = std::nullopt; // "19200,E,8,1"
};

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
    // The opening sequence with the settings in use. Line settings the port refuses
    // are replaced by those it kept, so they are never saved.
    bool openPort();
    // Whether the PC port can take the line settings; false with its reason.
    bool portAccepts(const QString &line, QString *error) const;
    // The PC follows the transmitter once it has accepted a new unit ID, framing or
    // line: the link takes them (the port reopens for a new line), TARVINE.INI keeps
    // them and the port panels show them. False when the port would not take the
    // line (nothing changed) or the file could not be written (the user was told).
    bool follow(const AcceptedCommChange &change);
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
