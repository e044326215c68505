// The reader against real write directories: a publisher at full speed in the
// station's store order, a directory that vanishes and returns, hostile files,
// the BMP kinds the station stores, and the command line.
#include "options.h"
#include "picture.h"
#include "selvane/publication/control_record.h"
#include "testkit/files.h"
#include "testkit/pictures.h"
#include "testkit/web/publish_picture.h"
#include "unit_reader.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <thread>

using namespace selvane::web;
using webtest::publishPicture;

namespace {

QString dirOf(const QTemporaryDir& tmp, const QString& name) {
  QDir(tmp.path()).mkpath(name);
  return tmp.path() + u'/' + name + u'/';
}

// What this process has read from files and sockets so far.
int64_t bytesReadSoFar() {
  for (const QByteArray& line : testkit::readFile(QStringLiteral("/proc/self/io")).split('\n'))
    if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
  return 0;
}

}  // namespace

// The publisher stores distinct pictures back to back (JPEG and BMP mixed),
// with the station's store routine and with the slot file rewritten in place
// in small writes, while the reader looks as often as it can. Every picture it
// shows must be exactly the one the record names for the newest slot, with
// that slot's text.
class WebReaderAtFullSpeed : public testing::TestWithParam<bool> {};

TEST_P(WebReaderAtFullSpeed, NeverYieldsTornOrFalsePictures) {
  const auto publishPicture = GetParam() ? webtest::publishPictureInPlace : webtest::publishPicture;
  QTemporaryDir tmp;
  const QString dir = dirOf(tmp, "unit1");
  constexpr int kPictures = 300;
  std::vector<QByteArray> pictures;
  for (int i = 0; i < kPictures; ++i)
    pictures.push_back(i % 3 == 2 ? webtest::testRgbBmp(64 + i % 5, 48, static_cast<unsigned char>(i), 1, 2)
                                  : webtest::testJpeg(i, 160 + 16 * (i % 4), 120));
  ASSERT_TRUE(publishPicture(dir, pictures[0], true, QStringLiteral("画像 0")));

  std::atomic<bool> done{false};
  std::thread publisher([&] {
    for (int i = 1; i < kPictures; ++i)
      publishPicture(dir, pictures[size_t(i)], i % 3 != 2, QStringLiteral("画像 %1").arg(i));
    done = true;
  });
  UnitReader reader(1, dir);
  std::set<int> seen;
  int checks = 0;
  while (!done || checks == 0 || reader.busy()) {
    reader.check(1);
    ++checks;
    const UnitViewPtr v = reader.view();
    if (!v->picture) continue;
    ASSERT_GE(v->newestSlot, 0);
    const QString text = v->texts[static_cast<size_t>(v->newestSlot)];
    ASSERT_TRUE(text.startsWith(QStringLiteral("画像 "))) << qPrintable(text);
    const int index = text.mid(3).toInt();
    ASSERT_TRUE(v->picture->stored == pictures[size_t(index)]) << "picture " << index << " torn or from the wrong slot";
    ASSERT_EQ(v->picture->storedJpeg, index % 3 != 2);
    ASSERT_FALSE(v->picture->jpeg.isEmpty());
    seen.insert(index);
    if (done && checks > 100000) break;
  }
  publisher.join();
  reader.check(2);
  EXPECT_EQ(reader.view()->texts[size_t(reader.view()->newestSlot)], QStringLiteral("画像 %1").arg(kPictures - 1));
  EXPECT_EQ(reader.view()->picture->stored, pictures.back());
  EXPECT_GT(seen.size(), 5u) << "the reader saw too few pictures to prove anything";
}

INSTANTIATE_TEST_SUITE_P(Publishers, WebReaderAtFullSpeed, testing::Values(false, true),
                         [](const auto& p) { return p.param ? "InPlace" : "StationStore"; });

TEST(WebReader, VanishedDirectoryShowsUnreadableKeepsPictureAndRecovers) {
  QTemporaryDir tmp;
  const QString dir = dirOf(tmp, "share");
  ASSERT_TRUE(publishPicture(dir, webtest::testJpeg(1), true, "a"));
  UnitReader reader(4, dir);
  EXPECT_TRUE(reader.check(10));
  const PicturePtr first = reader.view()->picture;
  ASSERT_TRUE(first);

  ASSERT_TRUE(QDir(tmp.path()).rename("share", "gone"));
  EXPECT_TRUE(reader.check(20));
  EXPECT_FALSE(reader.view()->readable);
  EXPECT_FALSE(reader.view()->problem.isEmpty());
  EXPECT_EQ(reader.view()->picture, first) << "the last complete picture is kept";
  EXPECT_FALSE(reader.check(30)) << "an unchanged absence is no change";

  ASSERT_TRUE(QDir(tmp.path()).rename("gone", "share"));
  ASSERT_TRUE(publishPicture(dir, webtest::testJpeg(2), true, "b"));
  EXPECT_TRUE(reader.check(40));
  EXPECT_TRUE(reader.view()->readable);
  EXPECT_EQ(reader.view()->picture->stored, webtest::testJpeg(2));
  EXPECT_EQ(reader.view()->pictureSeq, 2u);
}

// What a damaged, foreign or half-made directory can hold: never a crash,
// never a picture the record does not vouch for.
TEST(WebReader, HostileFilesGiveNoPicture) {
  const QByteArray jpeg = webtest::testJpeg(3);
  auto record = [](int16_t state, int16_t next, int16_t w0, int16_t w1) {
    selvane::publication::ControlRecord r;
    r.state = state;
    r.nextSlot = next;
    r.written = {w0, w1};
    return r.encode();
  };
  const QByteArray jpegState = record(2, 1, 1, 0), bmpState = record(0, 1, 1, 0);
  QByteArray hugeBmp = webtest::testRgbBmp(16, 16, 1, 2, 3);
  const int32_t huge = 16000;
  std::memcpy(hugeBmp.data() + 18, &huge, 4);
  QByteArray hugeJpeg = jpeg;
  const qsizetype sof = hugeJpeg.indexOf("\xFF\xC0");
  ASSERT_GT(sof, 0);
  hugeJpeg.replace(sof + 5, 4, "\x0F\xA0\x0F\xA0");  // 4000 x 4000
  QByteArray secret = jpegState;
  secret.replace(8, 6, "SECRET");
  // Setups past a record and a slot file: a directory, a link (to a file
  // made with `bytes` unless null), a sparse file.
  const auto dirNamed = [](const char* name) { return [=](const QString& d) { ASSERT_TRUE(QDir().mkdir(d + name)); }; };
  const auto linkNamed = [](const char* name, const QString& target, const QByteArray& bytes = {}) {
    return [=](const QString& d) {
      const QString to = target.startsWith(u'/') ? target : d + target;
      ASSERT_TRUE(bytes.isNull() || testkit::writeFile(to, bytes));
      ASSERT_TRUE(QFile::link(to, d + name));
    };
  };
  const auto sparse = [&](const QString& d) {
    QFile f(d + "cap0.jpg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(jpeg.chopped(2));
    f.seek(UnitReader::kMaxFileSize - 2);
    f.write("\xFF\xD9");
    f.resize(int64_t(2) << 30);
  };
  struct Case {
    const char* name;
    QByteArray record;  // cap.ctl's bytes; null: no cap.ctl written
    const char* slot;   // the slot file written with `picture`, or nullptr
    QByteArray picture;
    std::function<void(const QString& dir)> make = [](const QString&) {};
  };
  const std::vector<Case> cases = {
      {"short record", jpegState.left(20), "cap0.jpg", jpeg},
      {"next slot 7", record(2, 7, 1, 0), "cap0.jpg", jpeg},
      {"state 5", record(5, 1, 1, 0), "cap0.jpg", jpeg},
      {"stuck writing", record(1, 1, 1, 0), "cap0.jpg", jpeg},
      {"slot not written", record(2, 1, 0, 0), "cap0.jpg", jpeg},
      {"cut JPEG", jpegState, "cap0.jpg", jpeg.left(jpeg.size() / 2)},
      {"JPEG named BMP", bmpState, "cap0.bmp", jpeg},
      {"BMP larger than its bytes", bmpState, "cap0.bmp", hugeBmp},
      {"slot file is a directory", jpegState, nullptr, {}, dirNamed("cap0.jpg")},
      {"cap.ctl is a directory", {}, nullptr, {}, dirNamed("cap.ctl")},
      {"slot file links to a picture elsewhere",
       jpegState,
       nullptr,
       {},
       linkNamed("cap0.jpg", "../elsewhere.jpg", jpeg)},
      {"slot file links to a device", jpegState, nullptr, {}, linkNamed("cap0.jpg", "/dev/zero")},
      {"cap.ctl links to another file", {}, "cap0.jpg", jpeg, linkNamed("cap.ctl", "../secret", secret)},
      {"sparse 2 GB slot file", jpegState, nullptr, {}, sparse},
      {"JPEG larger than any camera", jpegState, "cap0.jpg", hugeJpeg},
      {"JPEG without scan data", jpegState, "cap0.jpg", jpeg.left(jpeg.indexOf("\xFF\xDA")) + "\xFF\xD9"},
      {"cut BMP", bmpState, "cap0.bmp", webtest::testRgbBmp(640, 480, 1, 2, 3).left(500000)},
  };
  for (const Case& c : cases) {
    QTemporaryDir tmp;
    const QString dir = dirOf(tmp, "u");
    ASSERT_TRUE(c.record.isNull() || testkit::writeFile(dir + "cap.ctl", c.record)) << c.name;
    ASSERT_TRUE(!c.slot || testkit::writeFile(dir + c.slot, c.picture)) << c.name;
    ASSERT_NO_FATAL_FAILURE(c.make(dir)) << c.name;
    UnitReader reader(1, dir);
    reader.check(1);
    reader.check(2);
    EXPECT_FALSE(reader.view()->picture) << c.name;
    EXPECT_FALSE(reader.view()->texts[0].contains(QStringLiteral("SECRET")))
        << c.name << ": a linked file's bytes shown";
    for (int64_t t = 2000; t < 2100; t += 15) reader.check(t);
    // From here on a broken unit costs a look at the record, never a read
    // of its picture, and never turns busy again by itself.
    const int64_t readBefore = bytesReadSoFar();
    for (int64_t t = 2100; t < 5000; t += 15) reader.check(t);
    EXPECT_LT(bytesReadSoFar() - readBefore, 64 * 1024) << c.name << ": a broken picture is read again and again";
    EXPECT_FALSE(reader.busy()) << c.name << ": a unit that stays broken is not looked at every few ms";
  }
}

TEST(WebPicture, StationBmpsBecomeJpegsTheRightWayUp) {
  const auto decoded = [](const PicturePtr& p) {
    return p ? decodeJpeg(reinterpret_cast<const uint8_t*>(p->jpeg.constData()), size_t(p->jpeg.size())) : std::nullopt;
  };
  for (const bool iyuv : {false, true}) {
    // 160 x 124: the size the station asks for in 160*120 mode.
    const auto d = decoded(makePicture(webtest::testPlanarBmp(160, 124, 200, iyuv), false, 0));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->width, 160);
    EXPECT_EQ(d->height, 124);
    EXPECT_TRUE(near(d->at(80, 62), {200, 200, 200}, 3));
  }
  // 24-bit bottom-up: the first stored rows are the bottom of the picture.
  QByteArray rgb = webtest::testRgbBmp(32, 32, 0, 0, 0);
  for (int i = 54; i < 54 + 16 * 96; ++i) rgb[i] = char(255);  // bottom half white
  const auto d = decoded(makePicture(rgb, false, 0));
  ASSERT_TRUE(d);
  ASSERT_EQ(d->width * d->height, 32 * 32);
  EXPECT_TRUE(near(d->at(16, 2), {0, 0, 0}, 29)) << "top row is black";
  EXPECT_TRUE(near(d->at(16, 29), kWhite, 29)) << "bottom row is white";
}

TEST(WebOptions, SettingsFileAndCommandLine) {
  QTemporaryDir tmp;
  const QString ini = tmp.path() + "/selvanedir.ini";
  QByteArray text;
  const char* rows[6][3] = {{"1", "1", "/srv/a/"}, {"1", "0", "/srv/b/"}, {"1", "1", "/srv/c"},
                            {"0", "1", "/srv/d/"}, {"1", "1", ""},        {"0", "0", ""}};
  for (auto& r : rows)
    text +=
        QByteArray("\"") + r[0] + "\",\"" + r[1] + "\",\"\",\"640*480\",\"1000\",\"5\",\"I420\",\"" + r[2] + "\"\r\n";
  text += "\"1\",\"50\"\r\n";
  ASSERT_TRUE(testkit::writeFile(ini, text));

  ParseResult r = parseCommandLine({"--settings", ini, "--poll", "1000"});
  ASSERT_EQ(r.outcome, ParseResult::Run) << qPrintable(r.text);
  ASSERT_EQ(r.options.units.size(), 2u);
  EXPECT_EQ(r.options.units[0].number, 1);
  EXPECT_EQ(r.options.units[1].number, 3);
  EXPECT_EQ(r.options.units[1].dir, "/srv/c/");
  EXPECT_EQ(r.options.units[1].intervalMs, 1000) << "the unit's own interval decides when it is stale";
  EXPECT_EQ(r.options.pollMs, 1000);
  EXPECT_EQ(r.options.listen, "127.0.0.1:8080");

  r = parseCommandLine({"--listen", "[::1]:9000", "a", "b"});
  ASSERT_EQ(r.outcome, ParseResult::Run);
  EXPECT_EQ(r.options.units[1].number, 2);
  EXPECT_TRUE(r.options.units[1].dir.endsWith("/b/"));

  for (const QStringList& bad : {QStringList{}, QStringList{"--poll", "5", "a"}, QStringList{"--listen", "nope", "a"},
                                 QStringList{"--settings", ini, "a"}, QStringList{"--settings", tmp.path() + "/none"}})
    EXPECT_EQ(parseCommandLine(bad).outcome, ParseResult::Error) << qPrintable(bad.join(' '));
  EXPECT_EQ(parseCommandLine({"--help"}).outcome, ParseResult::Help);
}
