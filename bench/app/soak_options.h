// Length of the soak run: 60 s unless main is given --soak_seconds=N.
#pragma once

namespace appbench {

inline double& soakSecondsSetting() {
  static double seconds = 60.0;
  return seconds;
}
inline double soakSeconds() { return soakSecondsSetting(); }

}  // namespace appbench
