#pragma once

// The hourglass cursor. Setting it twice and restoring once restores it: the
// procedures do not pair their calls, so the cursor must not stack.
namespace BusyCursor {
void set(bool busy);
bool isSet();
}
