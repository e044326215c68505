// The program's title, used as the caption of boxes without one.
#pragma once
#include <string>

namespace pl::services {

// The title given to pl_SetAppTitle, else the Qt application name, else the
// file name of the running executable.
std::string appTitle();

// The file name of the running executable ("" when unknown).
std::string executableName();

}  // namespace pl::services
