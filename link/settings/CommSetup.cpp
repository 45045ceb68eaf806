#include "CommSetup.h"

#include "ModbusLink.h"
#include "PortOpening.h"
#include "Prompter.h"
#include "StartupConnection.h"

CommSetup::CommSetup(ModbusLink &link, Session &session, const QString &workDir, QObject *parent)
    : QObject(parent), m_link(link), m_session(session), m_file(workDir), m_identifier(link, session)
{
}

void CommSetup::startupConnection()
{
    m_pc = runStartupConnection(m_link, m_file, m_identifier);
    emit panelsChanged();
}

bool CommSetup::openPort()
{
    const bool open = runOpeningSequence(m_link, m_pc);
    emit panelsChanged();
    return open;
}

bool CommSetup::save()
{
    QString error;
    if (m_file.save(m_pc, &error))
        return true;
    showMessage(error, QStringLiteral("Tarvine 2"), Prompter::Error);
    return false;
}
