// The start-up settings file "selvanedir.ini" (where it lives:
// settings_location.h; its lines and fields: selvane/publication/station_settings.h)
// applied to the control screen's rows and the unit model, and written back.
#pragma once

#include "selvane/model/unit_model.h"
#include "selvane/publication/list_rules.h"
#include "selvane/publication/station_settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>

namespace selvane::model {

inline constexpr char kSettingsFileName[] = "selvanedir.ini";
using publication::decodeSettingsBytes;
using publication::kSettingsReadLimit;
using publication::RowList;

QString settingsFilePath(QStringView startupDir);

// Present only when a listing of the directory holds an entry named exactly
// "selvanedir.ini" (letter case included) that is not a directory.
bool settingsFilePresent(const QString& startupDir);

// The unit rows of the control screen as the loader fills them. The control
// screen implements it over its controls; every call is for a unit 0..5.
class SettingsTarget {
 public:
  virtual ~SettingsTarget() = default;
  // Check box values, always 0..2 (the loader drops values a check box would
  // refuse). Setting a box runs its click behaviour, as a click would.
  virtual void setUseBox(int k, int16_t value) = 0;
  virtual void setSaveBox(int k, int16_t value) = 0;
  virtual void setDeviceName(int k, const QString& text) = 0;
  virtual void setWriteDirText(int k, const QString& text) = 0;
  // The items the row's list holds now, and the selection of one of them
  // (0-based, always an index into those items; applied with DspComboText).
  virtual QStringList listItems(int k, RowList list) const = 0;
  virtual void selectListItem(int k, RowList list, int index) = 0;
};

enum class LoadOutcome {
  Absent,      // rows reset; send format, quality and adjustments untouched
  Read,        // rows, send format, quality and adjustments from the file
  Unreadable,  // present but no regular file, or it could not be opened: the
               // steps run as for a file without fields
};

// Load settings: the rows from the file in the start-up directory, or reset
// rows when there is none; send format, JPEG quality and adjustments go into
// the model. Run fields are never touched. For an unreadable file `problem`
// (when given) receives the system's reason.
LoadOutcome loadSettings(const QString& startupDir, SettingsTarget& rows, UnitModel& model, QString* problem = nullptr);

// The steps for a present file, over its text already decoded.
void loadSettingsText(const QString& text, SettingsTarget& rows, UnitModel& model);

// The rows of a missing file: unchecked, empty texts, "640*480", "5000",
// "10", "RGB".
void resetRows(SettingsTarget& rows);

// The unit rows as they stand on the screen, for saving.
struct RowTexts {
  int32_t useBox = 0;
  int32_t saveBox = 0;
  QString deviceName;
  QString size;
  QString interval;
  QString startFrame;
  QString compression;
  QString writeDir;
};
using RowSnapshot = std::array<RowTexts, kUnitCount>;

// The 13 lines, every field quoted. A field never carries a double quote:
// the format has no escape and one would shift every later field, so each
// '"' is written as the full-width '＂' (U+FF02).
QByteArray formatSettings(const RowSnapshot& rows, const UnitModel& model);

// Writes the file in the given directory (made when missing), replacing it as
// a whole (an interrupted write leaves the earlier file). False when it cannot
// be written, so the screen can tell the operator.
bool saveSettings(const QString& startupDir, const RowSnapshot& rows, const UnitModel& model);

}  // namespace selvane::model
