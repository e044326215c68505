// Turning a command line into a program path and its arguments.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace pl::services {

// Splits at blanks (space, tab); double quotes group blanks into an argument
// and are removed ("" alone is an empty argument). Backslashes are ordinary.
std::vector<std::string> splitCommandLine(std::string_view line);

// The file to run for `name`: as given when it contains '/', else the
// executable of that name next to the running program, else the first on
// PATH. "" when none is found.
std::string findProgram(const std::string& name);

}  // namespace pl::services
