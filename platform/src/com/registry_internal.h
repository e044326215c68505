// Transactions on the registry file for the other component-model sources.
#pragma once
#include <functional>
#include <string>

#include "com/reg_file.h"
#include "platform/registry.h"

namespace pl::reg {

// Not among the public codes: a key path or name that cannot be stored.
inline constexpr LONG kErrorInvalidParameter = 87;

// The machine-wide registry, written when the package is installed.
inline constexpr char kMachineRegistryFile[] = "/var/lib/selvane/registry.reg";

// The user's registry file ($PL_REGISTRY, else the user's configuration
// directory); empty when no location can be worked out.
std::string userRegistryFile();
// $PL_MACHINE_REGISTRY when set (empty: none), else kMachineRegistryFile.
std::string machineRegistryFile();
// "registry.reg" in the running program's own directory: a build tree's
// registration of the controls it built (never installed, never written by
// the program). Empty when the program's directory cannot be found.
std::string programRegistryFile();
// The file of the current scope: the one that writes go to.
std::string registryFile();

// Runs `fn` on the registry under the file's exclusive lock. With `write`, a
// tree that `fn` reports as modified is written back atomically to the file of
// the current scope, and `fn` sees that file alone. Without `write` in the
// user's scope, `fn` sees the machine-wide registry with the user's entries
// merged over it, and the program directory's over both (per value). Returns fn's result, or ERROR_ACCESS_DENIED
// when the scope's file cannot be read or written.
LONG transact(bool write, const std::function<LONG(Key& root, bool& modified)>& fn);

}  // namespace pl::reg
