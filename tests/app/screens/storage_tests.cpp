// Captures published as network readers see them: slot files, cap.ctl and
// the CAPDIR marker.
#include <QImage>
#include <QRegularExpression>

#include "app_fixture.h"
#include "control_screen/plenkit_client.h"
#include "platform/qt_bridge.h"
#include "screens/widgets.h"
#include "selvane/model/control_record.h"

namespace apptest {
namespace {

using selvane::model::ControlRecord;

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class StorageTest : public AppTest {
 protected:
  // One capture of unit k through the real control, handled by the program.
  void captureOnce(int k, int fmtno = 33) {
    selvane::model::RunFields& run = model_.run[static_cast<size_t>(k)];
    run.capturePending = 1;
    ASSERT_EQ(controlScreen_->korvex().CaptureGo(k + 1, fmtno, 5), 0);
    ASSERT_TRUE(waitUntil([&] { return run.capturePending == 0; }, 10000));
  }
  void prepareRun(int k, const QString& writeDir, bool save = true) {
    selvane::model::RunFields& run = model_.run[static_cast<size_t>(k)];
    run.save = save ? 1 : 0;
    run.writeDir = writeDir;
    controlScreen_->plenkit()->BitDispWindSet(k, pl::hwndOf(pane(k)->picture1));
    ASSERT_EQ(controlScreen_->korvex().CaptureStart(0), 0);
  }
};

TEST_F(StorageTest, BmpWithNeitherFlagIsAByteCopyOfTheFrameFile) {
  load();
  const QString out = dir_.filePath("bmp") + "/";
  QDir().mkpath(out);
  model_.sendFormat = selvane::model::kSendBmp;
  prepareRun(0, out);
  captureOnce(0);
  const QByteArray stored = readAll(out + "cap0.bmp");
  EXPECT_EQ(stored.size(), 460854);
  EXPECT_EQ(stored, readAll(controlScreen_->captureEvents()->frameFilePath()));
  const ControlRecord r = ControlRecord::decode(readAll(out + "cap.ctl"));
  EXPECT_EQ(r.state, ControlRecord::kStateBmp);
  EXPECT_EQ(r.nextSlot, 1);
  EXPECT_TRUE(QRegularExpression(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d $)").match(r.slotText(0)).hasMatch());
}

TEST_F(StorageTest, JpegImagesAlternateSlotsAndTheMarkerFlips) {
  load();
  const QString out = dir_.filePath("jpeg") + "/";
  QDir().mkpath(out + "CAPDIR");
  QFile stale(out + "CAPDIR/old.txt");
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.close();
  prepareRun(1, out);
  const bool markerAfter[4] = {false, true, false, true};  // an existing marker is emptied and removed first
  for (int i = 0; i < 4; ++i) {
    captureOnce(1);
    const ControlRecord r = ControlRecord::decode(readAll(out + "cap.ctl"));
    EXPECT_EQ(r.state, ControlRecord::kStateJpeg) << i;
    EXPECT_EQ(r.nextSlot, (i + 1) % 2) << i;
    EXPECT_EQ(QFileInfo(out + "CAPDIR").isDir(), markerAfter[i]) << i;
    const QImage jpeg(out + QStringLiteral("cap%1.jpg").arg(i % 2));
    EXPECT_EQ(jpeg.size(), QSize(640, 480)) << i;
  }
  const ControlRecord r = ControlRecord::decode(readAll(out + "cap.ctl"));
  EXPECT_EQ(r.written[0], 1);
  EXPECT_EQ(r.written[1], 1);
}

TEST_F(StorageTest, AFailedCaptureWritesNothingAndSaveFlagZeroNeverTouchesTheDirectory) {
  load();
  const QString out = dir_.filePath("quiet") + "/";
  QDir().mkpath(out);
  prepareRun(2, out, false);
  captureOnce(2);
  EXPECT_TRUE(QDir(out).isEmpty());
  EXPECT_EQ(selvane::screens::backColor(pane(2)->label1), QColor(0, 255, 255));

  model_.run[2].save = 1;
  captureOnce(2, 3);  // 160 x 124 without a compression code: no format
  EXPECT_EQ(pane(2)->text1->text(), "取込エラー発生");
  EXPECT_TRUE(pane(2)->label5->text().isEmpty());
  EXPECT_TRUE(QDir(out).isEmpty());
}

}  // namespace
}  // namespace apptest
