#include "AccessLevels.h"

#include <array>

namespace AccessLevels {

QString grantedMessage(int level)
{
    static const std::array<const char *, 4> messages = {
        "Access Level 0: User\rNo Access to Programming or System Areas",
        "Access Level 1: Viewer\rData Viewing Only, Non-System Areas",
        "Access Level 2: Programmer\rData Editing Authorized, Non-System Areas",
        "Access Level 3: Administrator\rData Editing Authorized, All Areas",
    };
    if (level < 0 || level >= int(messages.size()))
        level = 0;
    return QString::fromLatin1(messages[size_t(level)]);
}

QStringList accessChoices()
{
    return {QStringLiteral("Level 1: Viewer (No Program Edit)"), QStringLiteral("Level 2: Programmer (No System View)"),
            QStringLiteral("Level 3: Administrator (Edit All)")};
}

} // namespace AccessLevels
