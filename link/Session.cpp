#include "Session.h"

void Session::setAccessLevel(int level)
{
    if (level < User || level > Administrator)
        level = User;
    if (level == m_accessLevel)
        return;
    m_accessLevel = level;
    emit accessLevelChanged(level);
}

void Session::setDeviceModel(const QString &model)
{
    if (model == m_deviceModel)
        return;
    m_deviceModel = model;
    emit deviceModelChanged(model);
}
