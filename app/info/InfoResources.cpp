#include "InfoResources.h"

#include <QFile>

// Outside any namespace, as Qt's resource initialisation requires.
static void initInfoResources()
{
    Q_INIT_RESOURCE(info);
}

void ensureInfoResources()
{
    static const bool done = (initInfoResources(), true);
    Q_UNUSED(done);
}

QString infoResourceText(const QString &path)
{
    ensureInfoResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
