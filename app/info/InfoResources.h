#pragma once

#include <QString>

// Makes the help pages and texts built into this library available under ":/info".
void ensureInfoResources();

// The text of a resource of this library; empty when it is missing.
QString infoResourceText(const QString &path);
