#pragma once

#include <QString>
#include <QStringList>

class CommandTable;

// keys [PATTERN] : the field keys watch accepts, with their type and unit.
void registerKeysCommand(CommandTable &table);

// The field keys nearest to a mistyped one (by edit distance, case ignored), best first.
QStringList nearestKeys(const QString &typed, int count = 3);
// " (nearest: A, B, C)" for a message about a key that does not exist.
QString nearestKeysHint(const QString &typed);
