// The program-wide state of the control screen program: per-unit run fields,
// per-unit picture adjustments and the global settings.
//
// One UnitModel exists for the life of the process; the control screen, the
// capture screen, the processing settings dialog and the event handlers all
// share it by reference. It belongs to the UI thread: every read and write
// happens there (the capture control's events arrive on that thread too), so
// it carries no lock.
#pragma once

#include <QString>

#include "selvane/model/settings_location.h"

#include <array>
#include <cstdint>

namespace selvane::model {

// Units 0..5 are the operator's "1号機".."6号機". The tables have room for
// index 6 as well, which is never a unit (display slot 6 is the full-screen
// window, not a camera).
inline constexpr int kUnitCount = 6;
inline constexpr int kTableSize = 7;

constexpr bool isUnit(int k) { return k >= 0 && k < kUnitCount; }

// What the Start button and the capture machinery keep per unit.
struct RunFields {
  int32_t devicePresent = 0;   // 1 when the capture control listed a camera k
  int32_t active = 0;          // takes part in the current run
  int32_t save = 0;            // takes part and its images are written
  QString writeDir;            // ends in '/' when set, else empty
  int32_t interval = 0;        // milliseconds
  int32_t formatNo = 0;        // size code 1..3, 0 = none
  int32_t compressionNo = 0;   // compression code 1..3, 0 = none
  int32_t startFrame = 0;      // frames let pass before the one kept
  int32_t capturePending = 0;  // 1 from the request until its event is handled
  int32_t elapsed = 0;         // milliseconds since the last request
};

// Picture adjustments of one unit. The field order is the order of a unit's
// adjustment line in selvanedir.ini.
struct Adjustments {
  int32_t rotation = 18;    // 0..36 in steps of 10 degrees, 18 = none
  int32_t zoom = 10;        // 1..10
  int32_t brightness = 10;  // 0..20, 10 = unchanged
  int32_t red = 10;         // 0..20
  int32_t blue = 10;        // 0..20
  int32_t green = 10;       // 0..20
  int32_t processing = 0;   // 1: rotation and zoom are applied
  int32_t colour = 0;       // 1: brightness and colour are applied

  static constexpr int kFieldCount = 8;
  struct Range {
    int32_t low;
    int32_t high;
  };
  // Ranges in file order; the loader clamps each field into its range.
  static constexpr std::array<Range, kFieldCount> kRanges{
      {{0, 36}, {1, 10}, {0, 20}, {0, 20}, {0, 20}, {0, 20}, {0, 1}, {0, 1}}};

  // Field i in file order (0 = rotation .. 7 = colour flag); i is not checked
  // beyond falling back to the colour flag, callers loop over 0..7.
  int32_t& field(int i) {
    switch (i) {
      case 0: return rotation;
      case 1: return zoom;
      case 2: return brightness;
      case 3: return red;
      case 4: return blue;
      case 5: return green;
      case 6: return processing;
      default: return colour;
    }
  }
  int32_t field(int i) const { return const_cast<Adjustments*>(this)->field(i); }

  friend bool operator==(const Adjustments&, const Adjustments&) = default;
};

inline constexpr int32_t kSendBmp = 0;
inline constexpr int32_t kSendJpeg = 1;

struct UnitModel {
  std::array<RunFields, kTableSize> run{};
  std::array<Adjustments, kTableSize> adjust{};  // start-up values
  int32_t displayCount = 0;                      // 0..6, highest checked unit number at Start

  int32_t sendFormat = kSendJpeg;
  int32_t jpegQuality = 50;   // 20..90 from the menu, any whole number from the file
  int32_t safeMode = 1;       // never stored in a file
  QString startupDir;         // program directory, ends in '/'
  SettingsLocation settings;  // where selvanedir.ini is read and saved
  QString tempDir;            // ends in '/'; the start-up directory when none
  int32_t controlScreenRunning = 1;
  int32_t fullScreenShown = 0;
  int32_t fullScreenUnit = 0;
  int32_t editedUnit = 0;  // unit whose processing settings are open
  int32_t testUnit = 0;    // parameters for the camera test screen
  int32_t testFormatNo = 0;
  int32_t testCompressionNo = 0;
  int32_t helpOpen = 0;    // 1 while the help screen is loaded
  int32_t helpOpener = 0;  // screen that opened it; 0 = the control screen

  void resetAdjustments() { adjust.fill(Adjustments{}); }
  QString helpFile() const { return startupDir + QStringLiteral("SELVANE.HLP"); }
};

}  // namespace selvane::model
