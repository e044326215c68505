// Length of the web soak run: 300 s unless main is given --soak_seconds=N.
#pragma once

namespace webbench {

inline double& soakSecondsSetting() {
  static double seconds = 300.0;
  return seconds;
}
inline double soakSeconds() { return soakSecondsSetting(); }

}  // namespace webbench
