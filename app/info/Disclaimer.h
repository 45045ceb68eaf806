#pragma once

#include <QString>

class IniFile;

// The terms and conditions shown at start until the user asks not to see them again.
namespace Disclaimer {

QString text();

// Shows the terms when section "Show Disclaimer", key "Active" of the option file
// starts with "1" (or is missing), then asks whether to show them again and writes
// the answer back. Returns false when the user did not accept the terms: the
// program should then end.
bool runAtStart(IniFile &options);

// The terms again, from the about box.
void showAgain();

} // namespace Disclaimer
