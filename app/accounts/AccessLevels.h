#pragma once

#include <QString>
#include <QStringList>

// The texts that go with the four access levels.
namespace AccessLevels {

// The login message for level 0..3 ("Access Level 2: Programmer\r...").
QString grantedMessage(int level);
// The account-creation choices, index + 1 = level.
QStringList accessChoices();

} // namespace AccessLevels
