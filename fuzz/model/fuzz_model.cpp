// Arbitrary bytes as selvanedir.ini (decoded and loaded into rows that check
// what the loader hands them) and as cap.ctl (decoded, stored, re-encoded).
#include "selvane/model/settings_file.h"
#include "selvane/publication/control_record.h"
#include "selvane/publication/cp932.h"

#include <cstdint>
#include <cstdlib>

namespace {

using namespace selvane::model;
using namespace selvane::publication;

void check(bool ok) {
  if (!ok) std::abort();
}

class CheckedRows : public SettingsTarget {
 public:
  void setUseBox(int k, int16_t v) override { check(isUnit(k) && v >= 0 && v <= 2); }
  void setSaveBox(int k, int16_t v) override { check(isUnit(k) && v >= 0 && v <= 2); }
  void setDeviceName(int k, const QString&) override { check(isUnit(k)); }
  void setWriteDirText(int k, const QString&) override { check(isUnit(k)); }
  QStringList listItems(int, RowList list) const override { return rowListItems(list); }
  void selectListItem(int k, RowList list, int index) override {
    check(isUnit(k) && index >= 0 && index < rowListItems(list).size());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));

  CheckedRows rows;
  UnitModel model;
  loadSettingsText(decodeSettingsBytes(bytes), rows, model);
  for (int k = 0; k < kUnitCount; ++k)
    for (int i = 0; i < Adjustments::kFieldCount; ++i)
      check(model.adjust[k].field(i) >= Adjustments::kRanges[i].low &&
            model.adjust[k].field(i) <= Adjustments::kRanges[i].high);
  check(model.sendFormat == 0 || model.sendFormat == 1);

  ControlRecord record = ControlRecord::decode(bytes);
  check(record.nextSlot == 0 || record.nextSlot == 1);
  if (size >= ControlRecord::kSize && record != ControlRecord{})
    check(record.encode() == bytes.first(ControlRecord::kSize));
  const QString text = fromCp932(bytes.first(qMin<qsizetype>(bytes.size(), 64)));
  const int slot = record.claimSlot(text);
  check(slot == 0 || slot == 1);
  check(record.encode().size() == ControlRecord::kSize);
  check(cp932Field(text, ControlRecord::kTextSize).size() == ControlRecord::kTextSize);
  return 0;
}
