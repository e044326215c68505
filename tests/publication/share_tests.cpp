// Readers on other computers, through the shipped Samba share: a private smbd
// on a loopback port serves the test folder with the share definition the
// package installs, the store routine publishes, and readers read through
// SMB, following the help file's recipe.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>

#include "loopback_share.h"
#include "stamped_store.h"
#include "testkit/smb_guest.h"

namespace {

using namespace selvane::publication;
using Clock = std::chrono::steady_clock;

class ShareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "smbd serves shares as root only";
    for (int unit = 1; unit <= 6; ++unit) QDir().mkpath(dir(unit));
    share_ = std::make_unique<LoopbackShare>(tmp_.path());
    ASSERT_EQ(share_->problem(), "");
  }
  QString dir(int unit) const { return tmp_.path() + QStringLiteral("/unit%1/").arg(unit); }
  std::string url(int unit, const std::string& name = "") const {
    return share_->url("unit" + std::to_string(unit) + "/" + name);
  }

  QTemporaryDir tmp_;
  std::unique_ptr<LoopbackShare> share_;
};

TEST_F(ShareTest, ReadersThroughTheShareAcceptOnlyWholePicturesTheirRecordNamesAndNeverHoldUpAStore) {
  // Six units storing back to back (JPEG for three, BMP for three); through
  // SMB one fast reader and ten slow ones, each holding the slot file it reads
  // open for 250 ms while the units store on over it.
  constexpr double kSeconds = 4.0;
  QStringList args{"--seconds", QString::number(kSeconds), "--check", "id"};
  for (int unit = 1; unit <= 6; ++unit) args << QString::fromStdString(url(unit));
  const QString probe = QString::fromLocal8Bit(qgetenv("SV_OUT_DIR")) + "/tools/reader_probe";
  std::array<std::vector<stamped::Bytes>, 2> pictures;  // made beforehand: stores at full speed
  for (int id = 1; id <= 40; ++id) {
    pictures[0].push_back(stamped::jpeg(id));
    pictures[1].push_back(stamped::bmp(id));
  }
  // The readers start once the pictures are made (slow in a sanitizer build).
  std::array<QProcess, 11> readers;
  for (size_t i = 0; i < readers.size(); ++i) {
    readers[i].start(probe, i == 0 ? args : QStringList{"--read-ms", "250"} + args);
    ASSERT_TRUE(readers[i].waitForStarted()) << probe.toStdString();
  }
  std::vector<double> storeMs;
  const auto end = Clock::now() + std::chrono::duration<double>(kSeconds + 0.3);
  for (size_t n = 0; Clock::now() < end; ++n) {
    const int unit = static_cast<int>(n % 6) + 1, bmp = unit > 3;
    const auto start = Clock::now();
    const StoreResult r = storeStamped(dir(unit), static_cast<int>(n % 40) + 1, bmp ? Format::Bmp : Format::Jpeg,
                                       &pictures[static_cast<size_t>(bmp)][n % 40]);
    storeMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    ASSERT_TRUE(r.published) << "store " << n << ": " << describe(r);
  }
  for (QProcess& reader : readers) {
    ASSERT_TRUE(reader.waitForFinished(10000));
    const std::string out = reader.readAllStandardOutput().trimmed().toStdString();
    EXPECT_EQ(reader.exitCode(), 0) << out << "\n" << reader.readAllStandardError().toStdString();
    EXPECT_EQ(out.find("accepted=0 "), std::string::npos) << "a reader never got a picture: " << out;
    EXPECT_NE(out.find(" failed=0"), std::string::npos) << "a read through SMB broke off: " << out;
  }
  // A reader's lease or oplock would make a store wait for its break (35 s)
  // or fail; the times themselves are the benchmark's.
  EXPECT_LT(*std::max_element(storeMs.begin(), storeMs.end()), 1000.0) << storeMs.size() << " stores";
  EXPECT_EQ(share_->trouble(), "") << "smbd's log";
}

// The next `size` bytes of an SMB file, appended to `out`; false on an error.
bool readSmb(int fd, size_t size, stamped::Bytes& out) {
  for (size_t done = 0; done < size;) {
    uint8_t buffer[65536];
    const ssize_t got = smbc_read(fd, buffer, std::min(size - done, sizeof buffer));
    if (got <= 0) return false;
    out.insert(out.end(), buffer, buffer + got);
    done += static_cast<size_t>(got);
  }
  return true;
}

// The picture a whole SMB file holds, or nullopt.
std::optional<int> idOverSmb(int fd, Format format, stamped::Bytes bytes = {}, size_t from = 0) {
  struct stat st {};
  if (smbc_fstat(fd, &st) != 0 || !readSmb(fd, static_cast<size_t>(st.st_size) - from, bytes)) return std::nullopt;
  smbc_close(fd);
  return format == Format::Jpeg ? stamped::idOfJpeg(bytes) : stamped::idOfBmp(bytes);
}

TEST_F(ShareTest, AReaderHalfWayThroughAPictureGetsItWholeAcrossTwoStores) {
  ASSERT_TRUE(initSmbGuest());
  for (const Format format : {Format::Jpeg, Format::Bmp}) {
    const int unit = format == Format::Jpeg ? 1 : 2;
    const std::string slot0 = url(unit, format == Format::Jpeg ? "cap0.jpg" : "cap0.bmp");
    ASSERT_TRUE(storeStamped(dir(unit), 1, format).published);  // the newest, cap0
    const int fd = smbc_open(slot0.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0) << slot0 << ": " << std::strerror(errno);
    struct stat st {};
    ASSERT_EQ(smbc_fstat(fd, &st), 0);
    stamped::Bytes half;
    ASSERT_TRUE(readSmb(fd, static_cast<size_t>(st.st_size) / 2, half));
    ASSERT_TRUE(storeStamped(dir(unit), 2, format).published);  // cap1
    ASSERT_TRUE(storeStamped(dir(unit), 3, format).published);  // cap0 again, over the open file
    EXPECT_EQ(idOverSmb(fd, format, half, half.size()), 1);
    // Opened again, the slot shows the new picture: nobody kept the old one.
    EXPECT_EQ(idOverSmb(smbc_open(slot0.c_str(), O_RDONLY, 0), format), 3);
  }
}

}  // namespace
