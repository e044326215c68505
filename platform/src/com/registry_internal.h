// Transactions on the registry file for the other component-model sources.
#pragma once
#include <functional>
#include <string>

#include "com/reg_file.h"
#include "platform/registry.h"

namespace pl::reg {

// Not among the public codes: a key path or name that cannot be stored.
inline constexpr LONG kErrorInvalidParameter = 87;

// The registry file in use ($PL_REGISTRY, else the user's configuration
// directory); empty when no location can be worked out.
std::string registryFile();

// Runs `fn` on the registry under the file's exclusive lock. With `write`, a
// tree that `fn` reports as modified is written back atomically. Returns fn's
// result, or ERROR_ACCESS_DENIED when the file cannot be read or written.
LONG transact(bool write, const std::function<LONG(Key& root, bool& modified)>& fn);

}  // namespace pl::reg
