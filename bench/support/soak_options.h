// Length of a soak run: 60 s unless main sets its benchmark's own default or
// is given --soak_seconds=N.
#pragma once

namespace bench {

inline double& soakSecondsSetting() {
  static double seconds = 60.0;
  return seconds;
}
inline double soakSeconds() { return soakSecondsSetting(); }

}  // namespace bench
