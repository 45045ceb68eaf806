#include "CommSetup.h"

#include "ModbusLink.h"
#include "PortOpening.h"
#include "SerialControl.h"
#include "Prompter.h"
#include "StartupConnection.h"
#include "TraceLog.h"

CommSetup::CommSetup(ModbusLink &link, Session &session, const QString &workDir, QObject *parent)
    : QObject(parent), m_link(link), m_session(session), m_file(workDir), m_identifier(link, session)
{
}

void CommSetup::startupConnection()
{
    m_pc = runStartupConnection(m_link, m_file, m_identifier);
    // Line settings the port refused are not kept.
    const QString used = m_link.serial()->settings();
    if (used != m_pc.settingsText())
        m_pc.setLine(used);
    emit panelsChanged();
}

bool CommSetup::openPort()
{
    const bool open = runOpeningSequence(m_link, m_pc);
    const QString used = m_link.serial()->settings();
    if (used != m_pc.settingsText())
        m_pc.setLine(used);
    emit panelsChanged();
    return open;
}

bool CommSetup::portAccepts(const QString &line, QString *error) const
{
    return m_link.serial()->accepts(line, error);
}

bool CommSetup::follow(const AcceptedCommChange &change)
{
    if (change.line) {
        QString error;
        if (!portAccepts(*change.line, &error)) {
            showMessage(QStringLiteral("Error when changing Port Settings: ") + error, QStringLiteral("Tarvine 2"),
                        Prompter::Information);
            return false;
        }
    }
    if (change.unitId) {
        m_pc.unitId = *change.unitId;
        m_link.setUnitId(m_pc.unitId);
    }
    if (change.framing) {
        m_pc.framing = *change.framing;
        m_pc.modeText = CommLists::modes().value(m_pc.framing);
        m_link.setFraming(m_pc.framing);
    }
    if (change.line && *change.line != m_pc.settingsText()) {
        m_pc.setLine(*change.line);
        if (m_link.portOpen()) {
            trace(QStringLiteral("Write_Regs resets Port settings: %1\r\n").arg(m_pc.settingsText()));
            m_link.closePort();
        }
        openPort();
    }
    emit panelsChanged();
    return save();
}

bool CommSetup::save()
{
    QString error;
    if (m_file.save(m_pc, &error))
        return true;
    showMessage(error, QStringLiteral("Tarvine 2"), Prompter::Error);
    return false;
}
