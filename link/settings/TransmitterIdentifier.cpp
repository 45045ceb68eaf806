#include "TransmitterIdentifier.h"

#include "ModbusLink.h"
#include "Session.h"

namespace {
constexpr int ModelByte = 26; // high byte of register 13
}

TransmitterIdentifier::TransmitterIdentifier(ModbusLink &link, Session &session, QObject *parent)
    : QObject(parent), m_link(link), m_session(session)
{
}

QString TransmitterIdentifier::modelFromHardwareInfo(const QByteArray &info)
{
    if (info.size() <= ModelByte)
        return {};
    switch (info.at(ModelByte)) {
    case 'N':
    case 'M':
        return QStringLiteral("Ostrel");
    case 'R':
        return QStringLiteral("KRM410");
    default:
        return {};
    }
}

QString TransmitterIdentifier::readModel(ModbusLink &link)
{
    constexpr int ModelRegister = ModelByte / 2;
    if (!link.Force_Coil(GetSysVersionCoil, 0xFF00) || !link.readRegisters(ModelRegister, 2))
        return {};
    QByteArray info(ModelByte + 1, '\0');
    info[ModelByte] = char(link.image().u8At(ModelByte));
    return modelFromHardwareInfo(info);
}

QString TransmitterIdentifier::tagPanelText(const QString &tag, const QString &model)
{
    if (tag.isEmpty())
        return model;
    return QStringLiteral("TAG: ") + tag + QStringLiteral(", ") + model;
}

bool TransmitterIdentifier::identify()
{
    emit busy(true);
    ModbusLink::QueryScope query(m_link);
    if (!m_link.Force_Coil(GetSysVersionCoil, 0xFF00)) {
        emit busy(false);
        return false;
    }
    m_link.image().store(0, QByteArray(HardwareInfoBytes, '\0'));
    emit tagPanelChanged(QStringLiteral("Read Hw info..."));
    m_link.Read_Regs(0, HardwareInfoBytes);
    const QByteArray info = m_link.image().read(0, HardwareInfoBytes);
    m_session.setHardwareInfo(info);

    emit tagPanelChanged(QStringLiteral("Read Cfg info..."));
    m_link.Read_Regs(MiscInfoRegister, MiscInfoBytes);
    const QString model = modelFromHardwareInfo(info);
    m_session.setDeviceModel(model);
    // CfgMiscInfo.Tag is the block's first field.
    m_session.setTag(m_link.image().textAt(2 * MiscInfoRegister, TagLength));
    emit tagPanelChanged(tagPanelText(m_session.tag(), model));
    emit busy(false);
    return true;
}
