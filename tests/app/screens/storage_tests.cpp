// Captures published as network readers see them: slot files, cap.ctl and
// the CAPDIR marker.
#include <sys/resource.h>
#include <unistd.h>

#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <cstdio>

#include "app_fixture.h"
#include "clients/plenkit_client.h"
#include "platform/qt_bridge.h"
#include "screens/widgets.h"
#include "selvane/publication/control_record.h"
#include "testkit/files.h"

namespace apptest {
namespace {

using selvane::publication::ControlRecord;

using testkit::readFile;

class StorageTest : public AppTest {
 protected:
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
  const QString out = newDir("bmp");
  model_.sendFormat = selvane::model::kSendBmp;
  prepareRun(0, out);
  captureOnce(0);
  const QByteArray stored = readFile(out + "cap0.bmp");
  EXPECT_EQ(stored.size(), 460854);
  const QString frame = controlScreen_->captureRun().events().frameFilePath();
  EXPECT_EQ(stored, readFile(frame));
  // The frame file lives in a directory of this copy's own.
  EXPECT_EQ(QFileInfo(QFileInfo(frame).path()).permissions() & 0x0077, 0) << frame.toStdString();
  EXPECT_TRUE(QFileInfo(frame).path().contains("/selvane-")) << frame.toStdString();
  const ControlRecord r = ControlRecord::decode(readFile(out + "cap.ctl"));
  EXPECT_EQ(r.state, ControlRecord::kStateBmp);
  EXPECT_EQ(r.nextSlot, 1);
  EXPECT_TRUE(QRegularExpression(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d $)").match(r.slotText(0)).hasMatch());
}

TEST_F(StorageTest, JpegImagesAlternateSlotsAndTheMarkerFlips) {
  load();
  const QString out = newDir("jpeg");
  QDir().mkpath(out + "CAPDIR");
  ASSERT_TRUE(testkit::writeFile(out + "CAPDIR/old.txt", {}));
  prepareRun(1, out);
  const bool markerAfter[4] = {false, true, false, true};  // an existing marker is emptied and removed first
  for (int i = 0; i < 4; ++i) {
    captureOnce(1);
    const ControlRecord r = ControlRecord::decode(readFile(out + "cap.ctl"));
    EXPECT_EQ(r.state, ControlRecord::kStateJpeg) << i;
    EXPECT_EQ(r.nextSlot, (i + 1) % 2) << i;
    EXPECT_EQ(QFileInfo(out + "CAPDIR").isDir(), markerAfter[i]) << i;
    const QImage jpeg(out + QStringLiteral("cap%1.jpg").arg(i % 2));
    EXPECT_EQ(jpeg.size(), QSize(640, 480)) << i;
  }
  const ControlRecord r = ControlRecord::decode(readFile(out + "cap.ctl"));
  EXPECT_EQ(r.written[0], 1);
  EXPECT_EQ(r.written[1], 1);
}

TEST_F(StorageTest, AFailedCaptureWritesNothingAndSaveFlagZeroNeverTouchesTheDirectory) {
  load();
  const QString out = newDir("quiet");
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

// An emulated webcam that finds no USB bandwidth left: the status text stays
// the station's, the pane says what to do, and the next good capture clears it.
TEST_F(StorageTest, AWebcamWithoutUsbBandwidthIsNamedOnItsPane) {
  cameras(0);
  const CG_UVC_SPEC webcam{nullptr, 1};
  ASSERT_EQ(cg_SetUvcCameras(&webcam, 1), S_OK);
  load();
  const QString out = newDir("usb");
  prepareRun(0, out);
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_NO_BANDWIDTH), S_OK);
  captureOnce(0);
  EXPECT_EQ(pane(0)->text1->text(), "取込エラー発生");
  auto* advice = pane(0)->picture1->findChild<QLabel*>("cameraAdvice");
  ASSERT_NE(advice, nullptr);
  EXPECT_FALSE(advice->isHidden());
  EXPECT_TRUE(advice->text().startsWith(QStringLiteral("USB の帯域が足りません"))) << advice->text().toStdString();
  EXPECT_TRUE(advice->text().contains(QStringLiteral("別の USB ポート")));

  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  captureOnce(0);
  EXPECT_NE(pane(0)->text1->text(), "取込エラー発生");
  EXPECT_TRUE(advice->isHidden());
  cg_SetUvcCameras(nullptr, 0);
}

// The program's log (stderr) while the object lives, read back by lines().
class CapturedLog {
 public:
  CapturedLog() { dup2(fileno(file_), 2); }
  ~CapturedLog() {
    dup2(saved_, 2);
    close(saved_);
    std::fclose(file_);
  }
  QStringList lines() {
    std::fflush(stderr);
    QFile f;
    f.open(fileno(file_), QIODevice::ReadOnly);
    f.seek(0);
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts).filter("selvane: unit 1:");
  }

 private:
  std::FILE* file_ = std::tmpfile();
  int saved_ = dup(2);
};

TEST_F(StorageTest, AWriteThatFailsKeepsTheLastPictureAndPublishingResumes) {
  load();
  const QString out = newDir("failing");
  prepareRun(0, out);
  captureOnce(0);
  rlimit unlimited{};
  getrlimit(RLIMIT_FSIZE, &unlimited);

  struct Injection {
    const char* what;
    const char* errorText;
    std::function<void(const QString&slotPath)> fail, heal;
  };
  const Injection injections[] = {
      {"file-size limit", nullptr,  // the frame file is cut first: "取込エラー", then the copy is refused
       [&](const QString&) {
         rlimit small = unlimited;
         small.rlim_cur = 4096;
         ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
       },
       [&](const QString&) { setrlimit(RLIMIT_FSIZE, &unlimited); }},
      {"slot file replaced by a directory", "Is a directory",
       [&](const QString& slot) {
         QFile::remove(slot);
         QDir().mkdir(slot);
       },
       [&](const QString& slot) { QDir().rmdir(slot); }},
      {"write directory removed", "No such file or directory",
       [&](const QString&) { ASSERT_TRUE(QDir().rename(out, dir_.filePath("away"))); },
       [&](const QString&) { ASSERT_TRUE(QDir().rename(dir_.filePath("away"), out)); }},
      {"cap.ctl a link", "Too many levels of symbolic links",
       [&](const QString&) {
         ASSERT_TRUE(QFile::rename(out + "cap.ctl", out + "record"));
         ASSERT_TRUE(QFile::link(out + "record", out + "cap.ctl"));
       },
       [&](const QString&) {
         ASSERT_TRUE(QFile::remove(out + "cap.ctl"));
         ASSERT_TRUE(QFile::rename(out + "record", out + "cap.ctl"));
       }},
  };
  for (const Injection& injection : injections) {
    SCOPED_TRACE(injection.what);
    const QByteArray record = readFile(out + "cap.ctl");
    const ControlRecord before = ControlRecord::decode(record);
    const QString newest = out + QStringLiteral("cap%1.jpg").arg(1 - before.nextSlot);
    const QByteArray picture = readFile(newest);
    const bool marker = QFileInfo::exists(out + "CAPDIR");
    CapturedLog log;
    injection.fail(out + QStringLiteral("cap%1.jpg").arg(before.nextSlot));
    const int attempts = &injection == injections ? 2 : 1;  // twice: still one line in the log
    for (int attempt = 0; attempt < attempts; ++attempt) {
      captureOnce(0);
      EXPECT_EQ(pane(0)->text1->text(), "書込エラー") << attempt;
    }
    injection.heal(out + QStringLiteral("cap%1.jpg").arg(before.nextSlot));
    EXPECT_EQ(readFile(out + "cap.ctl"), record) << "cap.ctl as it was";
    EXPECT_EQ(readFile(newest), picture) << "the picture it names is untouched";
    EXPECT_EQ(QImage(newest).size(), QSize(640, 480));
    EXPECT_EQ(QFileInfo::exists(out + "CAPDIR"), marker) << "the marker did not flip";
    EXPECT_EQ(QDir(out).entryList({".selvane-*"}, QDir::AllEntries | QDir::Hidden), QStringList());

    captureOnce(0);  // the directory has recovered: publishing goes on by itself
    const ControlRecord after = ControlRecord::decode(readFile(out + "cap.ctl"));
    EXPECT_EQ(after.state, ControlRecord::kStateJpeg);
    EXPECT_EQ(after.nextSlot, 1 - before.nextSlot);
    EXPECT_EQ(after.slotText(before.nextSlot), pane(0)->text1->text() + " ");
    EXPECT_EQ(QImage(out + QStringLiteral("cap%1.jpg").arg(before.nextSlot)).size(), QSize(640, 480));

    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(out)) << lines[0].toStdString();
    if (injection.errorText) { EXPECT_TRUE(lines[0].contains(injection.errorText)) << lines[0].toStdString(); }
    EXPECT_TRUE(lines[1].contains("publishing again")) << lines[1].toStdString();
  }
}

}  // namespace
}  // namespace apptest
