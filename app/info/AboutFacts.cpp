#include "AboutFacts.h"

#include <QtGlobal>

#include <pwd.h>
#include <unistd.h>

#ifndef TARVINE_VERSION
#define TARVINE_VERSION ""
#endif
#ifndef TARVINE_OS_REVISION
#define TARVINE_OS_REVISION ""
#endif
#ifndef TARVINE_APP_REVISION
#define TARVINE_APP_REVISION ""
#endif

AboutFacts AboutFacts::fromSystem()
{
    const passwd *entry = getpwuid(getuid());
    return {
        versionValue(TARVINE_VERSION),
        versionValue(TARVINE_OS_REVISION),
        versionValue(TARVINE_APP_REVISION),
        ownerFromGecos(entry ? entry->pw_gecos : nullptr),
        registeredName(qEnvironmentVariable("ORGANIZATION").trimmed()),
    };
}

QString AboutFacts::ownerFromGecos(const char *gecos)
{
    if (!gecos)
        return registeredName(QString());
    // GECOS: full name, room, work phone, home phone, other; comma-separated.
    return registeredName(QString::fromLocal8Bit(gecos).section(QLatin1Char(','), 0, 0).trimmed());
}

QString AboutFacts::registeredName(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("Undefined") : name;
}

QString AboutFacts::versionValue(const char *value)
{
    const QString text = QString::fromLatin1(value);
    return text.isEmpty() ? QStringLiteral("< No Data Available >") : text;
}

QString noticeText()
{
    return QStringLiteral("Tarvine 2nd Edition\nCopyright \u00A9 2026 Quillmoor. All rights reserved.");
}
