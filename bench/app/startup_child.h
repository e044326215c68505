// The start-up of the control screen program, run by this benchmark program
// in a child of its own: main() hands over to it when its first argument is
// kStartupChildFlag.
#pragma once
#include "testkit/process.h"

namespace appbench {
using namespace testkit;

inline constexpr const char* kStartupChildFlag = "--startup-child";

// Does what the program's main does up to a painted control screen, with
// argv[2] as program directory, then prints one line to stdout
//   shown <application ms> <form ms> <load ms> <painted ms> <cameras listed>
// (times counted from `mainEntry`) and ends the process at once.
[[noreturn]] void runStartupChild(int argc, char** argv, Clock::time_point mainEntry);

}  // namespace appbench
