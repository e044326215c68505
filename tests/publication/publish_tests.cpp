// Publication as readers see it: the order of the file-system changes of one
// store, what a failed store leaves, the marker that never follows a link,
// the directory lock, and reader processes beside six publishing units.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <array>
#include <chrono>
#include <thread>

#include "selvane/publication/control_record.h"
#include "selvane/publication/directory_lock.h"
#include "stamped_store.h"
#include "testkit/files.h"
#include "testkit/pictures.h"

namespace {

using namespace selvane::publication;

using testkit::readFile;

StoreResult store(const QString& dir, int id, Format format = Format::Jpeg) { return storeStamped(dir, id, format); }

class PublishTest : public ::testing::Test {
 protected:
  QString dir() const { return tmp_.path() + "/"; }
  QTemporaryDir tmp_;
};

TEST_F(PublishTest, OneStoreChangesTheDirectoryInTheOrderReadersRelyOn) {
  ASSERT_TRUE(store(dir(), 1).published);  // cap.ctl, cap0.jpg and CAPDIR exist
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, tmp_.path().toUtf8().constData(),
                              IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_OPEN),
            0);
  int16_t stateWhileWriting = -1;
  bool slotUntouchedWhileWriting = false;
  const stamped::Bytes picture = stamped::jpeg(2);
  const StoreResult result =
      storeImage(dir(), QString::fromStdString(stamped::slotText(2)), Format::Jpeg, [&](const std::string& path) {
        stateWhileWriting = ControlRecord::decode(readFile(dir() + "cap.ctl")).state;
        slotUntouchedWhileWriting = !QFile::exists(dir() + "cap1.jpg");
        return bytesWriter(picture)(path);
      });
  ASSERT_TRUE(result.published);
  EXPECT_EQ(stateWhileWriting, ControlRecord::kStateWriting);
  EXPECT_TRUE(slotUntouchedWhileWriting);

  std::vector<std::string> changes;  // "<what> <name>", opens left out
  char buffer[8192];
  for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(p);
      std::string name = e->len ? e->name : "";
      if (isTemporaryFileName(name)) name = "<temp>";
      const char* what = (e->mask & IN_MODIFY)       ? "modify"
                         : (e->mask & IN_CREATE)     ? "create"
                         : (e->mask & IN_DELETE)     ? "delete"
                         : (e->mask & IN_MOVED_FROM) ? "moved-from"
                         : (e->mask & IN_MOVED_TO)   ? "moved-to"
                                                     : "open";
      if (std::string(what) != "open" || name == "cap1.jpg" || name == "cap0.jpg")
        if (changes.empty() || changes.back() != what + (" " + name)) changes.push_back(what + (" " + name));
      p += sizeof(inotify_event) + e->len;
    }
  }
  close(watch);
  const std::vector<std::string> expected = {
      "modify cap.ctl",     // state 1
      "create <temp>",      // the picture beside the slot
      "modify <temp>",      //
      "moved-from <temp>",  // then over the slot, whole
      "moved-to cap1.jpg",  //
      "modify cap.ctl",     // the record names it
      "delete CAPDIR",      // and the marker flips
  };
  EXPECT_EQ(changes, expected) << "no slot file is ever opened or written in place";
  const ControlRecord r = ControlRecord::decode(readFile(dir() + "cap.ctl"));
  EXPECT_EQ(r.state, ControlRecord::kStateJpeg);
  EXPECT_EQ(r.nextSlot, 0);
  EXPECT_EQ(stamped::idOfJpeg(readBytes((dir() + "cap1.jpg").toStdString())), 2);
}

TEST_F(PublishTest, AFailedStoreLeavesEverythingAsItWasAndTheNextOneWorks) {
  // Into an empty directory: a failure leaves no cap.ctl at all.
  const PictureWriter failing = [](const std::string&) { return WriteOutcome{false, ENOSPC}; };
  StoreResult result = storeImage(dir(), u"2026/01/01 00:00:01 ", Format::Jpeg, failing);
  EXPECT_FALSE(result.published);
  EXPECT_EQ(result.failure, Failure::Picture);
  EXPECT_EQ(result.errorText, std::strerror(ENOSPC));
  EXPECT_EQ(QDir(dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

  ASSERT_TRUE(store(dir(), 1).published);
  // A record with a tail (written by some other tool) comes back byte for byte.
  ASSERT_TRUE(testkit::writeFile(dir() + "cap.ctl", readFile(dir() + "cap.ctl") + "tail"));
  const QByteArray before = readFile(dir() + "cap.ctl");
  const QByteArray slot0 = readFile(dir() + "cap0.jpg");
  for (int attempt = 0; attempt < 2; ++attempt) {  // twice in a row: the older picture survives too
    result = storeImage(dir(), u"2026/01/01 00:00:02 ", Format::Bmp, failing);
    EXPECT_FALSE(result.published);
    EXPECT_EQ(readFile(dir() + "cap.ctl"), before);
    EXPECT_EQ(readFile(dir() + "cap0.jpg"), slot0);
    EXPECT_EQ(QDir(dir()).entryList({".selvane-*"}, QDir::AllEntries | QDir::Hidden), QStringList());
    EXPECT_TRUE(QDir(dir() + "CAPDIR").exists()) << "the marker did not flip";
  }
  result = store(dir(), 3, Format::Bmp);
  EXPECT_TRUE(result.published);
  EXPECT_EQ(result.path, (dir() + "cap1.bmp").toStdString());
  EXPECT_EQ(stamped::idOfBmp(readBytes((dir() + "cap1.bmp").toStdString())), 3);
}

TEST_F(PublishTest, TheMarkerNeverFollowsALinkNorDeletesOutsideTheDirectory) {
  QTemporaryDir outside;
  const QString precious = outside.path() + "/precious.txt";
  QFile(precious).open(QIODevice::WriteOnly);

  // CAPDIR a link to a directory elsewhere: the link goes as the removing
  // half of the flip, its target untouched; the next store makes the marker.
  ASSERT_TRUE(QFile::link(outside.path(), dir() + "CAPDIR"));
  StoreResult result = store(dir(), 1);
  EXPECT_TRUE(result.published) << "the picture is still published";
  EXPECT_TRUE(result.markerProblem.empty()) << result.markerProblem;
  EXPECT_NE(result.markerNote.find("symbolic link"), std::string::npos) << result.markerNote;
  EXPECT_TRUE(QFile::exists(precious));
  EXPECT_FALSE(QFileInfo(dir() + "CAPDIR").isSymLink());
  result = store(dir(), 4);
  EXPECT_TRUE(result.markerNote.empty());
  EXPECT_TRUE(QFileInfo(dir() + "CAPDIR").isDir());

  // CAPDIR a plain file: left alone.
  QDir().rmdir(dir() + "CAPDIR");
  QFile(dir() + "CAPDIR").open(QIODevice::WriteOnly);
  result = store(dir(), 2);
  EXPECT_FALSE(result.markerProblem.empty());
  EXPECT_TRUE(QFileInfo(dir() + "CAPDIR").isFile());

  // A link inside the marker goes with the marker; what it points at stays.
  QFile::remove(dir() + "CAPDIR");
  QDir().mkdir(dir() + "CAPDIR");
  ASSERT_TRUE(QFile::link(precious, dir() + "CAPDIR/link.txt"));
  result = store(dir(), 3);
  EXPECT_TRUE(result.markerProblem.empty()) << result.markerProblem;
  EXPECT_FALSE(QFileInfo::exists(dir() + "CAPDIR"));
  EXPECT_TRUE(QFile::exists(precious));
}

TEST_F(PublishTest, NoLinkInTheDirectoryIsWrittenThroughAndSlotsKeepModeAndGroup) {
  QTemporaryDir outside;
  const QString victim = outside.path() + "/victim";
  ASSERT_TRUE(testkit::writeFile(victim, "victim"));
  ASSERT_TRUE(store(dir(), 1).published);
  // The temporary name swapped for a link between its creation and the write.
  const stamped::Bytes picture = stamped::jpeg(2);
  StoreResult result = storeImage(dir(), u"2026/01/01 00:00:02 ", Format::Jpeg, [&](const std::string& path) {
    const QStringList temps = QDir(dir()).entryList({".selvane-*.tmp"}, QDir::Files | QDir::Hidden);
    if (temps.size() != 1 || !QFile::remove(dir() + temps[0]) || !QFile::link(victim, dir() + temps[0]))
      return WriteOutcome{false, EIO};
    return bytesWriter(picture)(path);
  });
  EXPECT_FALSE(result.published);
  EXPECT_EQ(result.failure, Failure::Replace);
  EXPECT_EQ(readFile(victim), "victim");
  EXPECT_FALSE(QFileInfo(dir() + "cap1.jpg").isSymLink());

  // cap.ctl a link: a write error of the unit, its target untouched.
  ASSERT_TRUE(QFile::rename(dir() + "cap.ctl", outside.path() + "/cap.ctl"));
  ASSERT_TRUE(QFile::link(outside.path() + "/cap.ctl", dir() + "cap.ctl"));
  const QByteArray record = readFile(outside.path() + "/cap.ctl");
  result = store(dir(), 3);
  EXPECT_FALSE(result.published);
  EXPECT_EQ(result.failure, Failure::Record);
  EXPECT_EQ(result.error, ELOOP);
  EXPECT_EQ(readFile(outside.path() + "/cap.ctl"), record);
  ASSERT_TRUE(QFile::remove(dir() + "cap.ctl"));
  ASSERT_TRUE(QFile::rename(outside.path() + "/cap.ctl", dir() + "cap.ctl"));

  // An administrator's mode and readers' group survive the replacement.
  const std::string slot = (dir() + "cap1.jpg").toStdString();
  ASSERT_TRUE(store(dir(), 4).published);
  const gid_t readers = getgid() == 0 ? 4 : getgid();  // as root, another group
  ASSERT_EQ(chown(slot.c_str(), static_cast<uid_t>(-1), readers), 0);
  ASSERT_EQ(chmod(slot.c_str(), 0640), 0);
  ASSERT_TRUE(store(dir(), 5).published);
  ASSERT_TRUE(store(dir(), 6).published);
  struct stat st {};
  ASSERT_EQ(stat(slot.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_gid, readers);
}

TEST_F(PublishTest, OneProgramPerWriteDirectory) {
  DirectoryLock first, second;
  ASSERT_EQ(first.take(dir()), DirectoryLock::Outcome::Held);
  // A second copy of the program is another process: flock conflicts between
  // open files, so a second lock in this process stands for it.
  std::string why;
  EXPECT_EQ(second.take(dir(), &why), DirectoryLock::Outcome::InUse);
  EXPECT_FALSE(why.empty());
  EXPECT_TRUE(first.sameDirectory(dir()));
  EXPECT_EQ(QDir(dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList())
      << "the lock adds no file";
  first.release();
  EXPECT_EQ(second.take(dir()), DirectoryLock::Outcome::Held);
  EXPECT_EQ(DirectoryLock().take(dir() + "missing/"), DirectoryLock::Outcome::Unavailable);
}

TEST_F(PublishTest, FastAndSlowReadersOnlyEverAcceptWholePicturesTheirTextNames) {
  // Six units, each storing every 60 ms (JPEG for three, BMP for three); a
  // fast reader and one that takes 250 ms (over four intervals) per picture.
  constexpr double kSeconds = 3.0;
  QStringList dirs;
  for (int k = 1; k <= 6; ++k) {
    dirs << dir() + QStringLiteral("unit%1/").arg(k);
    QDir().mkpath(dirs.back());
  }
  // Pictures made beforehand: the units store as fast as the program could.
  std::array<std::vector<stamped::Bytes>, 2> pictures;  // JPEG, BMP
  for (int id = 1; id <= 40; ++id) {
    pictures[0].push_back(stamped::jpeg(id));
    pictures[1].push_back(stamped::bmp(id));
  }
  // The readers start once the pictures are made (slow in a sanitizer build).
  const QString probe = qEnvironmentVariable("SV_OUT_DIR") + "/tools/reader_probe";
  const QStringList args = QStringList{"--seconds", QString::number(kSeconds), "--check", "id"} + dirs;
  QProcess fast, slow;
  fast.start(probe, args);
  slow.start(probe, QStringList{"--read-ms", "250"} + args);
  ASSERT_TRUE(fast.waitForStarted() && slow.waitForStarted()) << probe.toStdString();
  int stores = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(kSeconds + 0.3);
  for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
    const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
    for (size_t k = 0; k < 6; ++k, ++stores) {
      const size_t bmp = k >= 3, index = (static_cast<size_t>(round) * 6 + k) % 40;
      const StoreResult r = storeStamped(dirs[static_cast<qsizetype>(k)], static_cast<int>(index) + 1,
                                         bmp ? Format::Bmp : Format::Jpeg, &pictures[bmp][index]);
      ASSERT_TRUE(r.published) << describe(r);
    }
    std::this_thread::sleep_until(next);
  }
  for (QProcess* p : {&fast, &slow}) {
    ASSERT_TRUE(p->waitForFinished(10000));
    const QString out = QString::fromLocal8Bit(p->readAllStandardOutput()).trimmed();
    EXPECT_EQ(p->exitCode(), 0) << out.toStdString() << "\n" << p->readAllStandardError().toStdString();
    const long accepted = out.section(' ', 0, 0).section('=', 1).toLong();  // "accepted=N retried=N ..."
    EXPECT_GE(accepted, p == &fast ? 30 : 4) << out.toStdString() << " after " << stores << " stores";
    std::printf("%s reader: %s\n", p == &fast ? "fast" : "slow", qPrintable(out));
  }
}

}  // namespace
