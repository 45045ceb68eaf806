#include "WellTesting.h"

#include "Prompter.h"

#include "ConfigBlock.h"
#include "ModbusLink.h"
#include "Session.h"

#include <QLineEdit>
#include <QStringList>

namespace WellTesting {

const QString InProgressTitle = QStringLiteral(" Well Testing In Progress..");
const QString UnknownText = QStringLiteral(
    "The transmitter did not say whether a well test is running, so nothing can be changed "
    "in this window. Close it and open it again when the transmitter answers.");

QStringList wellItems()
{
    QStringList items{QStringLiteral("No Well Selected")};
    for (int well = 1; well <= WellCount; ++well)
        items << QStringLiteral("Well #%1").arg(well);
    return items;
}

bool wellIsValid(ModbusLink &link, int well)
{
    if (well < 1 || well > WellCount)
        return false;
    ConfigBlock block(wellRegister(well), WellBlockBytes);
    return block.read(link) && block.f64(OilDensityByte) != 0.0 && block.f64(WaterDensityByte) != 0.0;
}

Running readRunning(ModbusLink &link)
{
    switch (link.readCoilState(RunningCoil)) {
    case ModbusLink::CoilState::Off: return Running::No;
    case ModbusLink::CoilState::On: return Running::Yes;
    case ModbusLink::CoilState::NoReply: break;
    }
    return Running::Unknown;
}

bool lockedByWellTest(ModbusLink &link, const QString &lockedText, const QString &title,
                      const std::function<void(const QString &)> &tell)
{
    switch (readRunning(link)) {
    case Running::No:
        return false;
    case Running::Yes:
        showMessage(lockedText, title, Prompter::Information);
        return true;
    case Running::Unknown:
        tell(UnknownText);
        return true;
    }
    return true;
}

RaisedAccessLevel::RaisedAccessLevel(Session &session, int level)
    : m_session(session), m_previous(session.accessLevel())
{
    if (level > m_previous)
        m_session.setAccessLevel(level);
}

RaisedAccessLevel::~RaisedAccessLevel()
{
    if (m_session.accessLevel() != m_previous)
        m_session.setAccessLevel(m_previous);
}

}  // namespace WellTesting
