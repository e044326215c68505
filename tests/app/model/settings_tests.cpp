// selvanedir.ini: loading into the unit rows and the model, saving, and
// files that are damaged or hostile.
#include "selvane/model/settings_file.h"
#include "selvane/model/settings_location.h"
#include "selvane/publication/control_record.h"
#include "selvane/publication/field_reader.h"
#include "testkit/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <ostream>
#include <string>
#include <utility>

using namespace selvane::model;
using namespace selvane::publication;

namespace selvane::model {
void PrintTo(const Adjustments& a, std::ostream* os) {
  for (int i = 0; i < Adjustments::kFieldCount; ++i) *os << (i ? "," : "{") << a.field(i);
  *os << "}";
}
}  // namespace selvane::model

namespace {

// The six unit rows as the control screen holds them: box values, texts and
// the selected item of each list, with the lists' real items.
class ScreenRows : public SettingsTarget {
 public:
  struct Row {
    int16_t use = 0;
    int16_t save = 0;
    QString device;
    QString writeDir;
    std::map<RowList, int> selected;
    QString text(RowList list) const {
      const auto it = selected.find(list);
      return it == selected.end() ? QString() : rowListItems(list).at(it->second);
    }
    RowTexts texts() const {
      using enum RowList;
      return {use, save, device, text(Size), text(Interval), text(StartFrame), text(Compression), writeDir};
    }
  };
  std::array<Row, kUnitCount> rows;
  QStringList calls;  // unit 0's calls, in order

  void setUseBox(int k, int16_t v) override { set(k, rows[k].use, v, "use"); }
  void setSaveBox(int k, int16_t v) override { set(k, rows[k].save, v, "save"); }
  void setDeviceName(int k, const QString& t) override { set(k, rows[k].device, t, "device"); }
  void setWriteDirText(int k, const QString& t) override { set(k, rows[k].writeDir, t, "dir"); }
  QStringList listItems(int, RowList list) const override { return rowListItems(list); }
  void selectListItem(int k, RowList list, int index) override {
    EXPECT_GE(index, 0);
    EXPECT_LT(index, rowListItems(list).size());
    static const char* names[] = {"size", "interval", "frame", "comp"};
    set(k, rows[k].selected[list], index, names[int(list)]);
  }

  RowSnapshot snapshot() const {
    RowSnapshot s;
    for (int k = 0; k < kUnitCount; ++k) s[k] = rows[k].texts();
    return s;
  }
  // Row k as "use|save|device|size|interval|frame|compression|dir".
  std::string fields(int k) const {
    const RowTexts r = rows[k].texts();
    QStringList f{QString::number(r.useBox), QString::number(r.saveBox), r.deviceName, r.size, r.interval};
    return (f << r.startFrame << r.compression << r.writeDir).join(u'|').toStdString();
  }

 private:
  template <class T>
  void set(int k, T& field, const T& value, const char* what) {
    field = value;
    if (k == 0) calls << QString::fromLatin1(what);
  }
};

// One line of the file: every field quoted.
QString line(const QStringList& fields) {
  return u'"' + fields.join(QStringLiteral("\",\"")) + QStringLiteral("\"\r\n");
}

const QString kDefaultUnitLine = line({"0", "0", "", "640*480", "5000", "10", "RGB", ""});
const QString kDefaultAdjustLine = line({"18", "10", "10", "10", "10", "10", "0", "0"});

QString defaultFile() {
  return kDefaultUnitLine.repeated(kUnitCount) + line({"1", "50"}) + kDefaultAdjustLine.repeated(kUnitCount);
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + u'/';
  }
  void writeFile(const QString& name, const QByteArray& bytes) { ASSERT_TRUE(testkit::writeFile(dir_ + name, bytes)); }
  LoadOutcome load(const QByteArray& bytes) {
    writeFile(QStringLiteral("selvanedir.ini"), bytes);
    return loadSettings(dir_, screen_, model_);
  }
  void expectResetRows() {
    for (int k = 0; k < kUnitCount; ++k) EXPECT_EQ(screen_.fields(k), "0|0||640*480|5000|10|RGB|") << k;
  }

  QTemporaryDir tmp_;
  QString dir_;
  ScreenRows screen_;
  UnitModel model_;
};

}  // namespace

TEST_F(SettingsFile, NoFileResetsRowsAndKeepsTheRest) {
  EXPECT_EQ(loadSettings(dir_, screen_, model_), LoadOutcome::Absent);
  expectResetRows();
  EXPECT_EQ(model_.sendFormat, 1);
  EXPECT_EQ(model_.jpegQuality, 50);
  for (const Adjustments& a : model_.adjust) EXPECT_EQ(a, Adjustments{});

  // Reloading without a file leaves send format, quality and adjustments.
  model_.sendFormat = 0;
  model_.jpegQuality = 80;
  model_.adjust[3].zoom = 4;
  screen_.rows[2].use = 1;
  EXPECT_EQ(loadSettings(dir_, screen_, model_), LoadOutcome::Absent);
  expectResetRows();
  EXPECT_EQ(model_.sendFormat, 0);
  EXPECT_EQ(model_.jpegQuality, 80);
  EXPECT_EQ(model_.adjust[3].zoom, 4);
}

TEST_F(SettingsFile, OnlyTheExactLowerCaseNameCounts) {
  writeFile(QStringLiteral("SELVANEDIR.INI"), line({"1", "1", "cam"}).toUtf8());
  EXPECT_FALSE(settingsFilePresent(dir_));
  EXPECT_EQ(loadSettings(dir_, screen_, model_), LoadOutcome::Absent);
  expectResetRows();

  ASSERT_TRUE(QDir(dir_).mkdir(QStringLiteral("sub")));
  EXPECT_FALSE(settingsFilePresent(dir_ + "sub/"));
  ASSERT_TRUE(QDir(dir_ + "sub").mkdir(QStringLiteral("selvanedir.ini")));
  EXPECT_FALSE(settingsFilePresent(dir_ + "sub/"));  // a directory is no file
  EXPECT_FALSE(settingsFilePresent(dir_ + "missing/"));

  writeFile(QStringLiteral("selvanedir.ini"), QByteArray());
  EXPECT_TRUE(settingsFilePresent(dir_));
}

TEST_F(SettingsFile, UnitLinesFillTheRowsInOrder) {
  QString text = line({"1", "1", "USB Camera A", "160*120", "3000", "25", "I420", "/srv/a/"});
  text += line({"1", "0", "cam B", "800*600", "2500", "7", "rgb", ""});
  ASSERT_EQ(load(text.toUtf8()), LoadOutcome::Read);
  EXPECT_EQ(screen_.fields(0), "1|1|USB Camera A|160*120|3000|25|I420|/srv/a/");
  // Texts that are none of the items select the first item.
  EXPECT_EQ(screen_.fields(1), "1|0|cam B|640*480|1000|5|IYUV|");

  // The boxes come first (their click behaviour sees the box values), then
  // the size, the texts and the other lists.
  EXPECT_EQ(screen_.calls, (QStringList{"use", "save", "size", "device", "dir", "interval", "frame", "comp"}));
}

TEST_F(SettingsFile, CheckBoxRefusesValuesOutsideItsStates) {
  for (int k = 0; k < 3; ++k) screen_.rows[k].use = screen_.rows[k].save = 1;
  QString text = line({"3", "-1", "", "", "", "", "", ""});  // both refused
  text += line({"70000", "2", "", "", "", "", "", ""});      // beyond 16 bits
  text += line({"1.5", "0.5", "", "", "", "", "", ""});      // 2 and 0
  ASSERT_EQ(load(text.toUtf8()), LoadOutcome::Read);
  const std::pair<int16_t, int16_t> boxes[] = {{1, 1}, {1, 2}, {2, 0}};  // use, save
  for (int k = 0; k < 3; ++k) EXPECT_EQ(std::pair(screen_.rows[k].use, screen_.rows[k].save), boxes[k]) << k;
}

TEST_F(SettingsFile, SendFormatAndQuality) {
  // Loaded in turn: quality is any whole number, halves go to even, and one
  // too big for 32 bits keeps the value before.
  const struct {
    QString send, quality;
    int32_t sendFormat, jpegQuality;
  } rows[] = {
      {"1", "", 1, 50}, {"0", "75", 0, 75}, {"5", "150.5", 1, 150}, {"-2", "-7", 0, -7}, {"1", "99999999999", 1, -7}};
  for (const auto& r : rows) {
    SCOPED_TRACE((r.send + ' ' + r.quality).toStdString());
    ASSERT_EQ(load((kDefaultUnitLine.repeated(kUnitCount) + line({r.send, r.quality})).toUtf8()), LoadOutcome::Read);
    EXPECT_EQ(model_.sendFormat, r.sendFormat);
    EXPECT_EQ(model_.jpegQuality, r.jpegQuality);
  }
}

TEST_F(SettingsFile, AdjustmentsAreClampedAndEmptyFieldsKept) {
  QString text = kDefaultUnitLine.repeated(kUnitCount) + line({"1", "50"});
  text += line({"40", "0", "-3", "25", "", "", "2", "1"});
  text += line({"0.5", "10.5", "", "", "", "", "0.4", "abc"});
  model_.adjust[0].blue = 3;
  model_.adjust[0].green = 17;
  model_.adjust[2].red = 5;
  ASSERT_EQ(load(text.toUtf8()), LoadOutcome::Read);
  EXPECT_EQ(model_.adjust[0], (Adjustments{36, 1, 0, 20, 3, 17, 1, 1}));
  // 0.5 rounds to even, 10.5 is above 10, 0.4 rounds down, "abc" is 0.
  EXPECT_EQ(model_.adjust[1], (Adjustments{0, 10, 10, 10, 10, 10, 0, 0}));
  // Units after the end of the file keep their adjustments.
  EXPECT_EQ(model_.adjust[2].red, 5);
  EXPECT_EQ(model_.adjust[5], Adjustments{});
}

TEST_F(SettingsFile, FileEndingEarlyRepeatsThePreviousUnit) {
  QString text = line({"1", "1", "first", "320*240", "2000", "15", "IYUV", "/a/"});
  text += line({"1", "0", "second", "160*120", "7000", "40", "I420", "/b/"});
  text += QStringLiteral("\"0\",\"1\",\"third\"");  // ends inside unit 3
  model_.adjust[0].zoom = 6;
  ASSERT_EQ(load(text.toUtf8()), LoadOutcome::Read);
  // Unit 3 takes what it lacks from unit 2, and the units after it copy unit 3.
  for (int k = 2; k < kUnitCount; ++k) EXPECT_EQ(screen_.fields(k), "0|1|third|160*120|7000|40|I420|/b/") << k;
  // Line 7 has texts of its own: nothing read gives BMP and quality 50.
  EXPECT_EQ(model_.sendFormat, 0);
  EXPECT_EQ(model_.jpegQuality, 50);
  EXPECT_EQ(model_.adjust[0].zoom, 6);
}

TEST_F(SettingsFile, SaveAfterStartWithoutFileWritesTheDefaultLines) {
  ASSERT_EQ(loadSettings(dir_, screen_, model_), LoadOutcome::Absent);
  screen_.rows[1].device = QStringLiteral("USB2.0 Camera");  // reported at start-up
  ASSERT_TRUE(saveSettings(dir_, screen_.snapshot(), model_));
  const QString expected = defaultFile().replace(kDefaultUnitLine.size(), kDefaultUnitLine.size(),
                                                 line({"0", "0", "USB2.0 Camera", "640*480", "5000", "10", "RGB", ""}));
  EXPECT_EQ(testkit::readFile(settingsFilePath(dir_)), expected.toUtf8());
}

TEST_F(SettingsFile, JapaneseTextsRoundTrip) {
  for (int k = 0; k < kUnitCount; ++k) {
    auto& r = screen_.rows[k];
    r.use = int16_t(k % 3);
    r.save = 1;
    r.device = QStringLiteral("ＵＳＢカメラ%1号機, 正面").arg(k + 1);
    r.writeDir = QStringLiteral("/srv/監視カメラ/cam %1/").arg(k);
    using enum RowList;
    r.selected = {{Size, k % 3}, {Interval, k}, {StartFrame, 9 - k}, {Compression, (k + 1) % 3}};
    model_.adjust[k] = {k, 1 + k, 2 * k, 20 - k, k, 3, k % 2, 1 - k % 2};
  }
  model_.sendFormat = 0;
  model_.jpegQuality = 90;
  ASSERT_TRUE(saveSettings(dir_, screen_.snapshot(), model_));

  ScreenRows loaded;
  UnitModel again;
  ASSERT_EQ(loadSettings(dir_, loaded, again), LoadOutcome::Read);
  for (int k = 0; k < kUnitCount; ++k) {
    EXPECT_EQ(loaded.fields(k), screen_.fields(k));
    EXPECT_EQ(loaded.rows[k].selected, screen_.rows[k].selected);
    EXPECT_EQ(again.adjust[k], model_.adjust[k]);
  }
  EXPECT_EQ(again.sendFormat, 0);
  EXPECT_EQ(again.jpegQuality, 90);
}

TEST_F(SettingsFile, DoubleQuoteIsWrittenFullWidth) {
  screen_.rows[0].device = QStringLiteral("cam \"A\"");
  screen_.rows[0].selected[RowList::Size] = 1;
  const QByteArray bytes = formatSettings(screen_.snapshot(), model_);
  EXPECT_TRUE(bytes.startsWith(QStringLiteral("\"0\",\"0\",\"cam ＂A＂\",\"320*240\"").toUtf8()));

  ScreenRows loaded;
  loadSettingsText(decodeSettingsBytes(bytes), loaded, model_);
  EXPECT_EQ(loaded.rows[0].device, QStringLiteral("cam ＂A＂"));
  EXPECT_EQ(loaded.rows[0].text(RowList::Size), QStringLiteral("320*240"));
}

TEST_F(SettingsFile, SaveFailureIsReported) {
  writeFile("plain", {});
  EXPECT_FALSE(saveSettings(dir_ + "plain/selvane/", screen_.snapshot(), model_));  // no directory to make
  ASSERT_TRUE(QDir(dir_).mkdir(QStringLiteral("selvanedir.ini")));
  EXPECT_FALSE(saveSettings(dir_, screen_.snapshot(), model_));
}

TEST_F(SettingsFile, UnreadableFileReadsAsNoFields) {
  // Listed in the directory, but opening it fails.
  ASSERT_TRUE(QFile::link(dir_ + "gone", dir_ + "selvanedir.ini"));
  screen_.rows[0].use = 1;
  EXPECT_EQ(loadSettings(dir_, screen_, model_), LoadOutcome::Unreadable);
  EXPECT_EQ(screen_.rows[0].use, 0);
  EXPECT_EQ(screen_.rows[0].text(RowList::Compression), QStringLiteral("IYUV"));
  EXPECT_EQ(model_.sendFormat, 0);

  // A pipe under that name is never opened (reading it would block).
  ASSERT_TRUE(QFile::remove(dir_ + "selvanedir.ini"));
  ASSERT_EQ(mkfifo(QFile::encodeName(dir_ + "selvanedir.ini").constData(), 0600), 0);
  EXPECT_EQ(loadSettings(dir_, screen_, model_), LoadOutcome::Unreadable);
  ASSERT_EQ(mkfifo(QFile::encodeName(dir_ + "cap.ctl").constData(), 0600), 0);
  EXPECT_EQ(readControlFile(dir_ + "cap.ctl"), ControlRecord{});
}

TEST(FieldReader, FieldsRegardlessOfLineEnds) {
  FieldReader r(QStringLiteral("  \"a,b\" junk, c d ,\r\n\"multi\r\nline\"\n\nx\r\"y\",\"open"));
  const QStringList expected{"a,b", "c d ", "", "multi\r\nline", "", "x", "y", "open"};
  for (const QString& e : expected) {
    const auto f = r.next();
    ASSERT_TRUE(f.has_value()) << e.toStdString();
    EXPECT_EQ(*f, e);
  }
  EXPECT_FALSE(r.next().has_value());
  EXPECT_TRUE(r.atEnd());
  EXPECT_FALSE(FieldReader(QStringLiteral("   ")).next().has_value());
}

TEST(SettingsBytes, Decoding) {
  EXPECT_EQ(decodeSettingsBytes("\xEF\xBB\xBF\"1\""), QStringLiteral("\"1\""));
  EXPECT_EQ(decodeSettingsBytes("\"\xE7\x9B\xA3\xE8\xA6\x96\""), QStringLiteral("\"監視\""));
  // Not UTF-8: a file from a Windows installation, in CP932.
  EXPECT_EQ(decodeSettingsBytes("\"\x8a\xc4\x8e\x8b\",\"C:\\cap\\\""), QStringLiteral("\"監視\",\"C:\\cap\\\""));
}

TEST_F(SettingsFile, HostileFilesDoNotHurt) {
  const QByteArray defaults = defaultFile().toUtf8();
  QByteArray junk;
  for (int i = 0; i < 4096; ++i) junk.append(char((i * 7919) & 0xFF));
  const QByteArray cases[] = {
      QByteArray("\"1\",\"1\",\"never closed") + QByteArray(5000, 'x'),
      junk,
      QByteArray(3 << 20, 'A'),  // one huge line, beyond the read limit
      QByteArray(100000, ',') + defaults,
      QByteArray(50000, '"'),
      QByteArray(200000, '\n'),
      QByteArray("\0\0\0\"\0\",\r\r\r", 11),
  };
  for (const QByteArray& bytes : cases) {
    ScreenRows screen;
    UnitModel model;
    EXPECT_EQ(load(bytes), LoadOutcome::Read);
    loadSettings(dir_, screen, model);
    for (int k = 0; k < kUnitCount; ++k) {
      EXPECT_GE(screen.rows[k].use, 0);
      EXPECT_LE(screen.rows[k].use, 2);
      const Adjustments& a = model.adjust[k];
      for (int i = 0; i < Adjustments::kFieldCount; ++i) {
        EXPECT_GE(a.field(i), Adjustments::kRanges[i].low);
        EXPECT_LE(a.field(i), Adjustments::kRanges[i].high);
      }
    }
  }
}

TEST_F(SettingsFile, InstalledProgramKeepsEachUsersFileStartedFromTheMachineDefault) {
  // A program directory the user may write keeps the file beside the program.
  const SettingsLocation beside = settingsLocation(dir_, dir_ + "config", dir_ + "etc");
  EXPECT_EQ(beside.dir, dir_);
  EXPECT_EQ(beside.loadDir(), dir_);

  // Installed below /usr: the user's configuration directory, which reads the
  // machine's default until the user saves.
  const QString etc = dir_ + "etc/";
  ASSERT_TRUE(QDir().mkpath(etc));
  const SettingsLocation installed = settingsLocation(QStringLiteral("/usr/lib/selvane"), dir_ + "config", etc);
  EXPECT_EQ(installed.dir, dir_ + "config/selvane/");
  EXPECT_EQ(installed.loadDir(), installed.dir);  // no file anywhere: the rows are reset
  ASSERT_TRUE(testkit::writeFile(etc + "SELVANEDIR.INI", {}));
  EXPECT_EQ(installed.loadDir(), installed.dir);  // letter case counts here too
  const QString machine = etc + "selvanedir.ini";
  ASSERT_TRUE(testkit::writeFile(machine, line({"1", "1", "", "320*240", "1000", "5", "I420", "/srv/cam1/"}).toUtf8()));
  EXPECT_EQ(installed.loadDir(), etc);
  EXPECT_EQ(loadSettings(installed.loadDir(), screen_, model_), LoadOutcome::Read);
  EXPECT_EQ(screen_.rows[0].writeDir, QStringLiteral("/srv/cam1/"));

  screen_.rows[0].writeDir = QStringLiteral("/home/op/cam1/");
  ASSERT_TRUE(saveSettings(installed.dir, screen_.snapshot(), model_));  // makes config/selvane/
  EXPECT_EQ(installed.loadDir(), installed.dir);
  ASSERT_EQ(loadSettings(installed.loadDir(), screen_, model_), LoadOutcome::Read);
  EXPECT_EQ(screen_.rows[0].writeDir, QStringLiteral("/home/op/cam1/"));
  EXPECT_TRUE(testkit::readFile(machine).contains("/srv/cam1/"));  // the default is never written

  EXPECT_FALSE(programDirHoldsSettings(QStringLiteral("/usr")));
  EXPECT_FALSE(programDirHoldsSettings(QStringLiteral("/usr/lib/selvane/")));
  EXPECT_FALSE(programDirHoldsSettings(dir_ + "missing"));
  if (::geteuid() != 0) {  // root may write anywhere
    ASSERT_TRUE(QDir(dir_).mkdir(QStringLiteral("ro")));
    ASSERT_EQ(::chmod(QFile::encodeName(dir_ + "ro").constData(), 0555), 0);
    EXPECT_EQ(settingsLocation(dir_ + "ro", dir_ + "config", etc).dir, installed.dir);
  }
  EXPECT_TRUE(settingsLocation(QStringLiteral("/usr/lib/x"), dir_, QString()).defaultDir.isEmpty());
}
