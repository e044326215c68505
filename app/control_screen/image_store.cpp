// Publishing one picture in a unit's write directory. Every step that fails
// is skipped and the next one runs: a reader always finds a usable record.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include "control_screen/capture_events.h"
#include "control_screen/plenkit_client.h"
#include "screens/capture_screen.h"
#include "screens/unit_pane.h"
#include "selvane/model/control_record.h"

namespace selvane {

void CaptureEvents::storeImage(int k, StoreMode mode) {
  if (!model::isUnit(k)) return;
  const QString dir = model_.run[static_cast<size_t>(k)].writeDir;
  const QString controlPath = model::controlFilePath(dir);
  model::ControlRecord record = model::readControlFile(controlPath);
  record.state = model::ControlRecord::kStateWriting;
  model::writeControlFile(controlPath, record);

  const int slot = record.claimSlot(captureScreen_.pane(k)->text1->text());
  const bool jpeg = mode != kStoreBmp && mode != kStoreFrameCopy;
  const QString imagePath = model::imageFilePath(dir, slot, jpeg);
  const QByteArray imageBytes = imagePath.toUtf8();
  if (mode == kStoreFrameCopy) {
    QFile::remove(imagePath);
    QFile::copy(frameFilePath(), imagePath);
    record.state = model::ControlRecord::kStateBmp;
  } else if (mode == kStoreBmp) {
    if (plenkit_) plenkit_->BmpFileSend(imageBytes.constData());
    record.state = model::ControlRecord::kStateBmp;
  } else {
    if (plenkit_) plenkit_->JpgFileSend(imageBytes.constData());
    record.state = model::ControlRecord::kStateJpeg;
  }
  model::writeControlFile(controlPath, record);

  // The marker directory flips with every stored image.
  const QString marker = model::markerDirPath(dir);
  const QFileInfo markerInfo(marker);
  if (!markerInfo.exists() && !markerInfo.isSymLink()) {
    QDir().mkdir(marker);
  } else {
    QDir markerDir(marker);
    for (const QString& name : markerDir.entryList(QDir::Files | QDir::Hidden | QDir::System)) markerDir.remove(name);
    QDir().rmdir(marker);
  }
}

}  // namespace selvane
