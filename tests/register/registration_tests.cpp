// brimlay and brimlift run as separate processes from a program directory,
// their question answered through PL_MSGBOX_ANSWERS and every box logged
// through PL_MSGBOX_LOG; the class registry is a file in a temporary
// directory. The real regsvr32 and Korvex.OCX do the registering.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <string>

#include "platform/registry.h"
#include "testkit/com.h"
#include "testkit/files.h"
#include "testkit/wait.h"

namespace {

constexpr char kControlServer[] = "CLSID\\{4EA7C846-AC98-465B-8B8C-E942F0C972F3}\\InprocServer32";
// The property page class is the last one written when registering and the
// last one removed when unregistering: once it has changed, regsvr32 is done.
constexpr char kPageServer[] = "CLSID\\{B9CD7C0B-734E-4D33-A59D-8C8AC365D195}\\InprocServer32";

const QString kRegisterQuestion = QStringLiteral("監視カメラ[DIRECT X] 用OCXを登録しますか");
const QString kRemoveQuestion = QStringLiteral("監視カメラ[DIRECT X] 用OCXを削除しますか");
// The question boxes as logged: caption, question, the answer given.
QString registerBox(const char* answer) { return "Brimlay\t" + kRegisterQuestion + "\t" + answer; }
QString removeBox(const char* answer) { return "Brimlift\t" + kRemoveQuestion + "\t" + answer; }

// Everything the programs need beside them.
const QStringList kShippedFiles = {"brimlay",        "brimlift",       "libplenkit.so", "libquillo.so",
                                   "libplatform.so", "libsvcamera.so", "Korvex.OCX",    "regsvr32"};

QString outDir() { return QString::fromLocal8Bit(qgetenv("SV_OUT_DIR")); }

bool copyExecutable(const QString& from, const QString& to) {
  return QFile::copy(from, to) && QFile::setPermissions(to, QFile::permissions(from));
}

using testkit::readFile;
using testkit::writeFile;

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(registry_.dirPath().isEmpty()) << "no temporary directory";
    ASSERT_FALSE(outDir().isEmpty()) << "SV_OUT_DIR is not set";
  }

  QString logPath() const { return registry_.dirPath() + "/boxes.log"; }
  // The directory as the programs see it: symbolic links resolved.
  static QString canonical(const QString& dir) { return QFileInfo(dir).canonicalFilePath(); }

  // Runs `dir`/`program` with `answers` for its boxes ("" = none: a box
  // then takes its default) and returns its exit code, or -1; `err` gets
  // its standard error.
  int run(const QString& dir, const QString& program, const QString& answers, QByteArray* err = nullptr) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PL_REGISTRY", registry_.path());
    env.insert("PL_MSGBOX_LOG", logPath());
    env.insert("PL_MSGBOX_ANSWERS", answers);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("LD_LIBRARY_PATH");
    QProcess p;
    p.setProcessEnvironment(env);
    // Elsewhere than the program directory: the programs must find it from
    // their own executable, not from the current directory.
    p.setWorkingDirectory(QDir::rootPath());
    p.start(dir + "/" + program, {});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
      p.kill();
      p.waitForFinished(5000);
      return -1;
    }
    if (err) *err = p.readAllStandardError();
    return p.exitCode();
  }

  QStringList logLines() const {
    return QString::fromUtf8(readFile(logPath())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  static bool waitRegistered() {
    return waitFor([] { return pl_RegKeyExists(kPageServer) != FALSE; }, 30000, 20);
  }
  static bool waitUnregistered() {
    return waitFor([] { return !pl_RegKeyExists(kControlServer) && !pl_RegKeyExists(kPageServer); }, 30000, 20);
  }

  // A fresh directory holding copies of `files` from the program directory.
  QString programDir(const QString& name, const QStringList& files) {
    const QString dir = registry_.dirPath() + "/" + name;
    if (!QDir().mkpath(dir)) return {};
    for (const QString& file : files)
      if (!copyExecutable(outDir() + "/" + file, dir + "/" + file)) return {};
    return dir;
  }

  comtest::TempRegistry registry_;  // a directory of the test's own, PL_REGISTRY for the checks made here
};

TEST_F(Registration, YesRegistersTheControlBesideTheProgramAndBrimliftRemovesIt) {
  const QString out = outDir();
  ASSERT_EQ(run(out, "brimlay", "yes"), 0);
  ASSERT_TRUE(waitRegistered()) << registry_.text().toStdString();
  EXPECT_EQ(comtest::get(kControlServer), (canonical(out) + "/Korvex.OCX").toStdString());
  EXPECT_EQ(comtest::get("Korvex.KorvexCtrl.1\\CLSID"), "{4EA7C846-AC98-465B-8B8C-E942F0C972F3}");

  ASSERT_EQ(run(out, "brimlift", "yes"), 0);
  EXPECT_TRUE(waitUnregistered()) << registry_.text().toStdString();
  EXPECT_FALSE(pl_RegKeyExists("Korvex.KorvexCtrl.1"));

  // Each program asked exactly its question, with its title as caption.
  EXPECT_EQ(logLines(), QStringList({registerBox("yes"), removeBox("yes")}));
}

TEST_F(Registration, NoOrNoAnswerRunsNothing) {
  const QString out = outDir();
  // No answer at all and no screen: the box takes its default, No, and
  // standard error says that nothing was registered; an answered No is quiet.
  QByteArray err;
  EXPECT_EQ(run(out, "brimlay", "", &err), 0);
  EXPECT_TRUE(err.contains("nothing was registered") && err.contains("regsvr32 /m")) << err.toStdString();
  EXPECT_EQ(run(out, "brimlay", "no", &err), 0);
  EXPECT_EQ(err, QByteArray());
  EXPECT_FALSE(QFile::exists(registry_.path()));

  ASSERT_EQ(run(out, "brimlay", "yes"), 0);
  ASSERT_TRUE(waitRegistered());
  const QByteArray registered = registry_.text();
  EXPECT_EQ(run(out, "brimlift", "no"), 0);
  EXPECT_EQ(registry_.text(), registered);

  EXPECT_EQ(logLines(), QStringList({registerBox("no"), registerBox("no"), registerBox("yes"), removeBox("no")}));
  ASSERT_EQ(run(out, "brimlift", "yes"), 0);
  EXPECT_TRUE(waitUnregistered());
}

TEST_F(Registration, WorksFromADirectoryWithBlanks) {
  const QString dir = programDir("my dir with blanks", kShippedFiles);
  ASSERT_FALSE(dir.isEmpty());
  ASSERT_EQ(run(dir, "brimlay", "yes"), 0);
  ASSERT_TRUE(waitRegistered()) << registry_.text().toStdString();
  EXPECT_EQ(comtest::get(kControlServer), (canonical(dir) + "/Korvex.OCX").toStdString());

  ASSERT_EQ(run(dir, "brimlift", "yes"), 0);
  EXPECT_TRUE(waitUnregistered()) << registry_.text().toStdString();
}

TEST_F(Registration, PassesTheSwitchesAndTheQuotedControlPath) {
  // A stand-in regsvr32 that records its arguments, one run per line.
  const QString dir =
      programDir("args with blanks", {"brimlay", "brimlift", "libplenkit.so", "libquillo.so", "libplatform.so"});
  ASSERT_FALSE(dir.isEmpty());
  const QString tool = dir + "/regsvr32";
  ASSERT_TRUE(writeFile(tool,
                        "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done >> \"$(dirname \"$0\")/args\"\n"
                        "echo >> \"$(dirname \"$0\")/args\"\n"));
  ASSERT_TRUE(QFile::setPermissions(tool, QFile::permissions(tool) | QFile::ExeOwner));

  ASSERT_EQ(run(dir, "brimlay", "yes"), 0);
  ASSERT_EQ(run(dir, "brimlift", "yes"), 0);
  const QString control = canonical(dir) + "/Korvex.OCX";
  EXPECT_EQ(QString::fromUtf8(readFile(dir + "/args")), "/s|" + control + "|\n/u|/s|" + control + "|\n");
}

TEST_F(Registration, AMissingLibraryOrEntryPointIsToldAndFails) {
  // Built programs also search the build tree by name, so a file that is no
  // library stands in for a missing one: the program directory is searched
  // first and the search ends there.
  const QString bare = programDir("bare", {"brimlay", "libplatform.so"});
  ASSERT_FALSE(bare.isEmpty());
  ASSERT_TRUE(writeFile(bare + "/libplenkit.so", "not a library\n"));
  EXPECT_EQ(run(bare, "brimlay", "yes"), 2);

  // A library of that name without RegEntrySet.
  const QString wrong = programDir("wrong", {"brimlift", "libplatform.so"});
  ASSERT_FALSE(wrong.isEmpty());
  ASSERT_TRUE(copyExecutable(outDir() + "/libquillo.so", wrong + "/libplenkit.so"));
  EXPECT_EQ(run(wrong, "brimlift", "yes"), 3);

  const QStringList lines = logLines();
  ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
  // An error box with the program's caption that names the library.
  EXPECT_TRUE(lines[1].startsWith("Brimlay\t")) << lines[1].toStdString();
  EXPECT_TRUE(lines[1].contains("libplenkit.so"));
  EXPECT_TRUE(lines[1].endsWith("\tok"));
  EXPECT_TRUE(lines[3].startsWith("Brimlift\t")) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].contains("libplenkit.so") && lines[3].contains("RegEntrySet"));
  EXPECT_FALSE(QFile::exists(registry_.path()));
}

}  // namespace
