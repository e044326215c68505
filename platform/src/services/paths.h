// Directories the services work with, and the rule for handing a text to a
// caller's buffer.
#pragma once
#include <string>

#include "platform/wintypes.h"

namespace pl::services {

// The directory of the running executable without a trailing '/' ("/" for
// the root); "" when unknown.
std::string programDirectory();

// Copies `s` with its NUL into `buffer` when it fits in `max` bytes and
// returns its length; when it does not fit, touches nothing and returns the
// size needed including the NUL. 0 for an empty `s`.
DWORD copyOut(const std::string& s, DWORD max, char* buffer);

}  // namespace pl::services
