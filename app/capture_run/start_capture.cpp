// "開始" for the run: the unit rows become the run fields.
#include <QFileInfo>

#include "capture_run/capture_run.h"
#include "selvane/model/text_helpers.h"
#include "selvane/publication/list_rules.h"
#include "selvane/publication/numeric_text.h"

namespace selvane {

QString CaptureRun::prepare(const model::RowSnapshot& rows) {
  // Checking the rows; the first unusable one stops the start.
  model_.displayCount = 0;
  int taking = 0;
  for (int k = 0; k < model::kUnitCount; ++k) {
    const model::RowTexts& r = rows[static_cast<size_t>(k)];
    model::RunFields& run = model_.run[static_cast<size_t>(k)];
    run.save = 0;
    run.writeDir.clear();
    run.active = 0;
    const bool use = r.useBox == 1;
    if (use) model_.displayCount = k + 1;
    if (run.devicePresent != 1 || !use) continue;
    ++taking;
    run.active = 1;
    if (r.saveBox != 1) continue;
    run.save = 1;
    QString dir = r.writeDir;
    if (dir.isEmpty()) return model::unitPrefix(k) + QStringLiteral("の書込先デレクトリが未入力です");
    dir = model::withTrailingSeparator(dir);
    if (!QFileInfo(dir).isDir()) return model::unitPrefix(k) + QStringLiteral("で指定したデレクトリがありません");
    run.writeDir = dir;
  }
  if (taking == 0) return QStringLiteral("キャプチャーするカメラの指定が有りません");
  if (QString refusal = lockWriteDirs(); !refusal.isEmpty()) return refusal;

  for (int k = 0; k < model::kUnitCount; ++k) {
    const model::RowTexts& r = rows[static_cast<size_t>(k)];
    model::RunFields& run = model_.run[static_cast<size_t>(k)];
    run.capturePending = 0;
    run.elapsed = 0;
    if (run.devicePresent == 1 && run.active == 1) {
      // The rows' lists hold their fixed items only: a typed text has no place.
      run.interval = publication::wholeNumber(r.interval).value_or(0);
      run.formatNo = publication::positionInList(publication::rowListItems(publication::RowList::Size), r.size);
      run.compressionNo =
          publication::positionInList(publication::rowListItems(publication::RowList::Compression), r.compression);
      run.startFrame = publication::wholeNumber(r.startFrame).value_or(0);
    } else {
      run.interval = run.formatNo = run.compressionNo = run.startFrame = 0;
    }
  }
  return {};
}

}  // namespace selvane
