// The registry file: values, key matching, deletion, hostile files, location
// and locking; and the registration records servers write.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <thread>
#include <vector>

#include "testkit/com.h"

using comtest::get;
using comtest::ScopedEnv;
using comtest::TempRegistry;

TEST(Registry, ValuesAndKeysMatchWithoutRegardToCase) {
  TempRegistry reg;
  ASSERT_EQ(pl_RegSetString("Software\\Selvane\\Unit", "Name", "first"), ERROR_SUCCESS);
  ASSERT_EQ(pl_RegSetString("SOFTWARE\\selvane\\UNIT", "NAME", "second"), ERROR_SUCCESS);
  ASSERT_EQ(pl_RegSetString("Software\\Selvane\\Unit", nullptr, "default"), ERROR_SUCCESS);
  EXPECT_EQ(get("software\\SELVANE\\unit", "name"), "second");
  EXPECT_EQ(get("Software\\Selvane\\Unit", ""), "default");
  EXPECT_EQ(get("\\Software\\\\Selvane\\Unit\\"), "default");  // stray separators
  // Non-ASCII names fold too; the spelling first written is what the file keeps.
  ASSERT_EQ(pl_RegSetString("Kamera\\ÄRGER", "Größe", "1"), ERROR_SUCCESS);
  EXPECT_EQ(get("kamera\\ärger", "GRÖßE"), "1");
  QByteArray text = reg.text();
  EXPECT_TRUE(text.contains("[Software\\Selvane\\Unit]")) << text.constData();
  EXPECT_TRUE(text.contains("\"Name\"=\"second\"")) << text.constData();
  EXPECT_FALSE(text.contains("SOFTWARE"));
  EXPECT_TRUE(pl_RegKeyExists("SOFTWARE\\SELVANE"));
  EXPECT_FALSE(pl_RegKeyExists("Software\\Selvan"));
}

TEST(Registry, GetReportsMissingValuesAndShortBuffers) {
  TempRegistry reg;
  ASSERT_EQ(pl_RegSetString("K", "v", "12345"), ERROR_SUCCESS);
  char buffer[8] = "xxxxxxx";
  int length = -1;
  EXPECT_EQ(pl_RegGetString("K", "v", buffer, 5, &length), ERROR_MORE_DATA);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(pl_RegGetString("K", "v", nullptr, 0, &length), ERROR_SUCCESS);  // size query
  EXPECT_EQ(length, 5);
  EXPECT_EQ(pl_RegGetString("K", "v", buffer, 6, &length), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "12345");
  EXPECT_EQ(pl_RegGetString("K", "w", buffer, 8, &length), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(pl_RegGetString("Nope", "v", buffer, 8, &length), ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(buffer, "");
  EXPECT_NE(pl_RegGetString(nullptr, "v", buffer, 8, &length), ERROR_SUCCESS);
  EXPECT_NE(pl_RegSetString(nullptr, "v", "x"), ERROR_SUCCESS);
  EXPECT_NE(pl_RegSetString("\\\\", "v", "x"), ERROR_SUCCESS);      // no key at all
  EXPECT_NE(pl_RegSetString("A\nB", "v", "x"), ERROR_SUCCESS);      // control character
  EXPECT_NE(pl_RegSetString("K", "v", "\xff\xfe"), ERROR_SUCCESS);  // not UTF-8
  EXPECT_FALSE(pl_RegKeyExists(nullptr));
  EXPECT_EQ(get("K", "v"), "12345");
}

TEST(Registry, DeleteTreeRemovesOnlyTheSubtree) {
  TempRegistry reg;
  for (const char* key : {"A\\B", "A\\B\\C\\D", "A\\BC", "A\\E"}) ASSERT_EQ(pl_RegSetString(key, "", key), 0);
  EXPECT_EQ(pl_RegDeleteTree("a\\b"), ERROR_SUCCESS);
  EXPECT_FALSE(pl_RegKeyExists("A\\B"));
  EXPECT_FALSE(pl_RegKeyExists("A\\B\\C"));
  EXPECT_EQ(get("A\\BC"), "A\\BC");
  EXPECT_EQ(get("A\\E"), "A\\E");
  EXPECT_TRUE(pl_RegKeyExists("A"));
  EXPECT_EQ(pl_RegDeleteTree("A\\B"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(pl_RegDeleteTree(nullptr), 87);
}

TEST(Registry, AwkwardTextSurvivesTheFile) {
  TempRegistry reg;
  const char* awkward = "C:\\path \"quoted\"\nsecond line\r\t= [x] ;; 監視カメラ ﾓｼﾞｭｰﾙ";
  ASSERT_EQ(pl_RegSetString("Key [with] \"odd\" = name;", "na\"me\\", awkward), ERROR_SUCCESS);
  EXPECT_EQ(get("key [WITH] \"odd\" = NAME;", "NA\"ME\\"), awkward);
  // Each entry stays on one line of the file.
  EXPECT_EQ(reg.text().count('\n'), 5) << reg.text().constData();
}

TEST(Registry, HostileFilesNeverCrashAndGoodLinesSurvive) {
  TempRegistry reg;
  QByteArray garbage(70000, '\0');
  for (auto& c : garbage) c = static_cast<char>(QRandomGenerator::global()->generate() & 0xff);
  const QByteArray good = "[Good\\Key]\n@=\"kept\"\n";
  const QList<QByteArray> hostile = {
      garbage,
      "[Truncated\\Key",
      "[A]\n\"name\"=\"unterminated\n@=\"bad escape \\q\"\n\"x\"=\"y\" trailing\n",
      QByteArray("[A]\n@=\"a\0b\"\n", 12) + QByteArray(1, '\0') + QByteArray("\n[\0]\n", 5),
      "[" + QByteArray(300, 'k') + "]\n@=\"too long a name\"\n",
      "[" + QByteArray("a\\").repeated(5000) + "]\n@=\"too deep\"\n",
      "[\xff\xfe]\n@=\"\xc0\xaf\"\n\"\xed\xa0\x80\"=\"surrogate\"\n",
      "@=\"value before any key\"\n\"n\"=\"v\"\n[]\n@=\"empty key\"\n",
      "\xEF\xBB\xBF[A]\n" + QByteArray(1 << 20, '"') + "\n",
  };
  for (const QByteArray& bad : hostile) {
    reg.write(bad + "\n" + good);
    EXPECT_EQ(get("Good\\Key"), "kept") << bad.left(40).toHex().constData();
    // Rewriting drops what could not be read and leaves a clean file.
    ASSERT_EQ(pl_RegSetString("Good\\Key", "n", "v"), ERROR_SUCCESS);
    EXPECT_EQ(get("Good\\Key"), "kept");
    const QByteArray clean = reg.text();
    reg.write(clean);
    ASSERT_EQ(pl_RegSetString("Good\\Key", "n", "v"), ERROR_SUCCESS);
    EXPECT_EQ(reg.text(), clean);
  }
  // A registry path that is a directory is an error, not a crash.
  QDir(reg.dirPath()).mkdir("dir.reg");
  ScopedEnv env("PL_REGISTRY", QFile::encodeName(reg.dirPath() + "/dir.reg"));
  EXPECT_EQ(pl_RegSetString("K", "v", "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(get("K", "v"), "<missing>");
}

TEST(Registry, LocationFollowsTheEnvironment) {
  QTemporaryDir dir;
  char path[4096];
  {
    ScopedEnv reg("PL_REGISTRY", QFile::encodeName(dir.filePath("own.reg")));
    ASSERT_GT(pl_RegistryPath(path, sizeof path), 0);
    EXPECT_EQ(QString::fromUtf8(path), dir.filePath("own.reg"));
    EXPECT_EQ(pl_RegistryPath(path, 4), 0);  // too small
  }
  ScopedEnv noReg("PL_REGISTRY", "");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("xdg")));
    ASSERT_GT(pl_RegistryPath(path, sizeof path), 0);
    EXPECT_EQ(QString::fromUtf8(path), dir.filePath("xdg/selvane/registry.reg"));
    ASSERT_EQ(pl_RegSetString("K", "v", "x"), ERROR_SUCCESS);  // creates the directories
    EXPECT_TRUE(QFile::exists(dir.filePath("xdg/selvane/registry.reg")));
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", "");
  ScopedEnv home("HOME", QFile::encodeName(dir.path()));
  ASSERT_GT(pl_RegistryPath(path, sizeof path), 0);
  EXPECT_EQ(QString::fromUtf8(path), dir.filePath(".config/selvane/registry.reg"));
}

TEST(Registry, MachineEntriesShowUnderTheUsersOwn) {
  TempRegistry reg;
  const QString machine = reg.dirPath() + "/machine/registry.reg";
  ScopedEnv machineEnv("PL_MACHINE_REGISTRY", QFile::encodeName(machine));
  struct Scope {  // back to the user's scope whatever happens
    explicit Scope(int s) { pl_RegSetScope(s); }
    ~Scope() { pl_RegSetScope(PL_REG_SCOPE_USER); }
  };
  const char* server = "CLSID\\{X}\\InprocServer32";
  {
    Scope m(PL_REG_SCOPE_MACHINE);
    ASSERT_EQ(pl_RegSetString(server, "", "/usr/lib/selvane/X.OCX"), ERROR_SUCCESS);
    ASSERT_EQ(pl_RegSetString(server, "ThreadingModel", "Apartment"), ERROR_SUCCESS);
    char path[4096];
    ASSERT_GT(pl_RegistryPath(path, sizeof path), 0);
    EXPECT_EQ(QString::fromUtf8(path), machine);
  }
  EXPECT_TRUE(reg.text().isEmpty());  // the user's file was never written
  EXPECT_EQ(get(server), "/usr/lib/selvane/X.OCX");
  EXPECT_TRUE(pl_RegKeyExists("clsid\\{x}"));

  // The user's own registration wins, value by value, and removing it shows
  // the machine's again; the user cannot remove the machine's.
  ASSERT_EQ(pl_RegSetString(server, "", "/home/op/X.OCX"), ERROR_SUCCESS);
  EXPECT_EQ(get(server), "/home/op/X.OCX");
  EXPECT_EQ(get(server, "ThreadingModel"), "Apartment");
  ASSERT_EQ(pl_RegDeleteTree("CLSID\\{X}"), ERROR_SUCCESS);
  EXPECT_EQ(get(server), "/usr/lib/selvane/X.OCX");
  EXPECT_EQ(pl_RegDeleteTree("CLSID\\{X}"), ERROR_FILE_NOT_FOUND);
  {
    // The machine's scope sees its own file alone.
    ASSERT_EQ(pl_RegSetString("Software\\Mine", "", "user"), ERROR_SUCCESS);
    Scope m(PL_REG_SCOPE_MACHINE);
    EXPECT_FALSE(pl_RegKeyExists("Software\\Mine"));
    ASSERT_EQ(pl_RegDeleteTree("CLSID"), ERROR_SUCCESS);
  }
  EXPECT_EQ(get(server), "<missing>");
  EXPECT_EQ(pl_RegSetScope(7), -1);

  // A machine file that cannot be read, or none at all, leaves the user's.
  ASSERT_EQ(pl_RegSetString(server, "", "/home/op/X.OCX"), ERROR_SUCCESS);
  {
    ScopedEnv dir("PL_MACHINE_REGISTRY", QFile::encodeName(reg.dirPath()));
    EXPECT_EQ(get(server), "/home/op/X.OCX");
  }
  Scope m(PL_REG_SCOPE_MACHINE);
  ASSERT_EQ(pl_RegSetString(server, "", "/usr/lib/selvane/X.OCX"), ERROR_SUCCESS);
  pl_RegSetScope(PL_REG_SCOPE_USER);
  ScopedEnv none("PL_MACHINE_REGISTRY", "");
  ASSERT_EQ(pl_RegDeleteTree("CLSID"), ERROR_SUCCESS);
  EXPECT_EQ(get(server), "<missing>");
}

TEST(Registry, TheProgramDirectorysFileComesFirstAndTheBuildWritesOnlyThere) {
  TempRegistry reg;
  const QString own = QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).absolutePath() + "/registry.reg";
  ASSERT_FALSE(QFile::exists(own)) << own.toStdString();
  struct Remove {
    QString path;
    ~Remove() { QFile::remove(path); }
  } cleanup{own};
  const QByteArray built = "[Software\\SelvaneTest\\Own]\n@=\"program\"\n";
  ASSERT_TRUE(testkit::writeFile(own, built));
  const char* key = "Software\\SelvaneTest\\Own";
  ASSERT_EQ(pl_RegSetString(key, "", "user"), ERROR_SUCCESS);
  ASSERT_EQ(pl_RegSetString(key, "Extra", "user"), ERROR_SUCCESS);
  EXPECT_EQ(get(key), "program");
  EXPECT_EQ(get(key, "Extra"), "user");
  EXPECT_TRUE(reg.text().contains("@=\"user\"")) << "writes go to the user's file";
  EXPECT_EQ(testkit::readFile(own), built);

  // The build registered its control beside its programs, not for the user.
  const QString out = QString::fromLocal8Bit(qgetenv("SV_OUT_DIR"));
  if (QFile::exists(out + "/registry.reg")) {
    EXPECT_TRUE(testkit::readFile(out + "/registry.reg").contains((out + "/Korvex.OCX").toUtf8()));
  }
}

TEST(Registry, ConcurrentWritersAllLand) {
  TempRegistry reg;
  constexpr int kThreads = 4, kWrites = 25;
  auto name = [](int t, int i) { return std::to_string(t) + "-" + std::to_string(i); };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, name] {
      for (int i = 0; i < kWrites; ++i) pl_RegSetString("Shared", name(t, i).c_str(), name(t, i).c_str());
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kWrites; ++i) EXPECT_EQ(get("Shared", name(t, i).c_str()), name(t, i));
}

// --- Registration records ----------------------------------------------------

namespace {

const GUID kLib = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kClass = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {0xDD, 0xDD, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}};
const GUID kItf = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
const PL_INTERFACE_INFO kItfs[] = {{&kItf, "_DThing"}};

const PL_TYPELIB_INFO kThingLib = {&kLib, 1, 0, "Thing module", "Thing.hlp", "/opt/x/Thing.OCX", kItfs, 1};
PL_CLASS_INFO cls(BOOL control) {
  return {&kClass, "Thing.ThingCtrl.1", "Thing Control", "Apartment", "/opt/x/Thing.OCX", control, 0x20191, &kLib, 1,
          0};
}
const PL_CLASS_INFO kThing = cls(TRUE);

}  // namespace

TEST(Registration, ControlClassAndTypeLibraryLayout) {
  TempRegistry reg;
  ASSERT_EQ(pl_RegisterTypeLib(&kThingLib), S_OK);
  ASSERT_EQ(pl_RegisterClass(&kThing), S_OK);
  const std::string k = "CLSID\\{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
  EXPECT_EQ(get(k.c_str()), "Thing Control");
  EXPECT_EQ(get((k + "\\InprocServer32").c_str()), "/opt/x/Thing.OCX");
  EXPECT_EQ(get((k + "\\InprocServer32").c_str(), "ThreadingModel"), "Apartment");
  EXPECT_EQ(get((k + "\\ProgID").c_str()), "Thing.ThingCtrl.1");
  EXPECT_TRUE(pl_RegKeyExists((k + "\\Control").c_str()));
  EXPECT_EQ(get((k + "\\MiscStatus").c_str()), "0");
  EXPECT_EQ(get((k + "\\MiscStatus\\1").c_str()), "131473");
  EXPECT_EQ(get((k + "\\TypeLib").c_str()), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(get((k + "\\Version").c_str()), "1.0");
  EXPECT_EQ(get((k + "\\ToolboxBitmap32").c_str()), "/opt/x/Thing.OCX, 1");
  EXPECT_EQ(get("Thing.ThingCtrl.1"), "Thing Control");
  EXPECT_EQ(get("Thing.ThingCtrl.1\\CLSID"), "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
  const std::string t = "TypeLib\\{11111111-2222-3333-4444-555555555555}\\1.0";
  EXPECT_EQ(get(t.c_str()), "Thing module");
  EXPECT_EQ(get(t.c_str(), "HELPFILE"), "Thing.hlp");
  EXPECT_EQ(get((t + "\\0\\linux64").c_str()), "/opt/x/Thing.OCX");
  EXPECT_EQ(get((t + "\\FLAGS").c_str()), "0");
  EXPECT_EQ(get((t + "\\HELPDIR").c_str()), "/opt/x");
  EXPECT_EQ(get("Interface\\{12345678-9ABC-DEF0-0102-030405060708}"), "_DThing");
  EXPECT_EQ(get("Interface\\{12345678-9ABC-DEF0-0102-030405060708}\\TypeLib"),
            "{11111111-2222-3333-4444-555555555555}");

  CLSID found{};
  EXPECT_EQ(CLSIDFromProgID("thing.thingctrl.1", &found), S_OK);
  EXPECT_TRUE(IsEqualGUID(&found, &kClass));

  // A plain class gets none of the control entries.
  ASSERT_EQ(pl_UnregisterClass(&kThing), S_OK);
  PL_CLASS_INFO plain = cls(FALSE);
  ASSERT_EQ(pl_RegisterClass(&plain), S_OK);
  EXPECT_FALSE(pl_RegKeyExists((k + "\\Control").c_str()));
  EXPECT_FALSE(pl_RegKeyExists((k + "\\MiscStatus").c_str()));
}

TEST(Registration, UnregisterRemovesExactlyWhatRegisterAdded) {
  TempRegistry reg;
  // Neighbours: another class, another version of the same library, an
  // interface of another library, unrelated keys.
  ASSERT_EQ(pl_RegSetString("CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32", "", "/x.so"), 0);
  ASSERT_EQ(pl_RegSetString("TypeLib\\{11111111-2222-3333-4444-555555555555}\\2.0", "", "v2"), 0);
  ASSERT_EQ(pl_RegSetString("Interface\\{00000000-0000-0000-0000-0000000000FF}\\TypeLib", "", "{other}"), 0);
  ASSERT_EQ(pl_RegSetString("Software\\Other", "a", "b"), 0);
  const QByteArray before = reg.text();

  ASSERT_EQ(pl_RegisterTypeLib(&kThingLib), S_OK);
  ASSERT_EQ(pl_RegisterClass(&kThing), S_OK);
  ASSERT_NE(reg.text(), before);
  ASSERT_EQ(pl_UnregisterClass(&kThing), S_OK);
  ASSERT_EQ(pl_UnregisterTypeLib(&kThingLib), S_OK);
  EXPECT_EQ(reg.text(), before);
  // Unregistering again finds nothing to remove and is still a success.
  EXPECT_EQ(pl_UnregisterClass(&kThing), S_OK);
  EXPECT_EQ(pl_UnregisterTypeLib(&kThingLib), S_OK);

  // A ProgID another class has taken over stays with that class.
  ASSERT_EQ(pl_RegisterClass(&kThing), S_OK);
  ASSERT_EQ(pl_RegSetString("Thing.ThingCtrl.1\\CLSID", "", "{00000000-0000-0000-0000-000000000001}"), 0);
  ASSERT_EQ(pl_UnregisterClass(&kThing), S_OK);
  EXPECT_EQ(get("Thing.ThingCtrl.1\\CLSID"), "{00000000-0000-0000-0000-000000000001}");
}

TEST(Registration, UnwritableRegistryGivesTheSelfRegistrationCodes) {
  ScopedEnv env("PL_REGISTRY", "/dev/null/selvane/registry.reg");
  EXPECT_EQ(pl_RegisterTypeLib(&kThingLib), SELFREG_E_TYPELIB);
  EXPECT_EQ(pl_RegisterClass(&kThing), SELFREG_E_CLASS);
  EXPECT_EQ(pl_RegSetString("K", "v", "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(pl_RegisterClass(nullptr), SELFREG_E_CLASS);
  PL_CLASS_INFO badProgId = cls(TRUE);
  badProgId.progId = "Two\\Keys";
  EXPECT_EQ(pl_RegisterClass(&badProgId), SELFREG_E_CLASS);
}
