// The test control end to end: registered by the real regsvr32, created by
// class id on a host widget, called by dispatch number, firing events into
// the host; and regsvr32's own failures.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <vector>

#include "platform/com_host.h"
#include "platform/qt_bridge.h"
#include "test_control_ids.h"
#include "testkit/com.h"

using comtest::get;
using comtest::regsvr32;
using comtest::ScopedEnv;
using comtest::TempRegistry;

namespace {

const char* kServerKey = "CLSID\\{7D0F55B8-08F0-4263-A312-0E49EDD76CE3}\\InprocServer32";
QString serverFile() { return QString::fromStdString(get(kServerKey)); }

struct Event {
  DISPID id;
  pl::Variant arg;
  bool onUiThread;
};

class HostedTestControl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QFileInfo::exists(comtest::controlFile())) << "build TestCtl first";
    auto r = regsvr32({"/s", comtest::controlFile()});
    ASSERT_EQ(r.exitCode, 0) << r.errors.constData();
    host_.resize(200, 100);
    host_.show();
  }

  HRESULT create(pl::HostedControl& control, HWND host) {
    return control.create(&testctl::kClsid, host, [this](DISPID id, const VARIANT* args, UINT argc) {
      events_.push_back(
          {id, argc > 0 ? pl::Variant::copyOf(args[0]) : pl::Variant(), QThread::currentThread() == qApp->thread()});
      if (onEvent_) onEvent_(id);
    });
  }

  TempRegistry reg_;
  QWidget host_;
  std::vector<Event> events_;
  std::function<void(DISPID)> onEvent_;
};

}  // namespace

TEST_F(HostedTestControl, RegisteredUnderItsClassIdAndProgId) {
  EXPECT_EQ(serverFile(), QFileInfo(comtest::controlFile()).absoluteFilePath());
  EXPECT_EQ(get("CLSID\\{7D0F55B8-08F0-4263-A312-0E49EDD76CE3}\\MiscStatus\\1"), "131473");
  EXPECT_EQ(get("TypeLib\\{1E54C9E9-8CE8-44C6-BBEA-1B5543B82AA5}\\1.0", "HELPFILE"), "TestCtl.hlp");
  EXPECT_EQ(get("TestCtl.TestCtlPage.1"), "TestCtl Property Page");
  CLSID byName{};
  ASSERT_EQ(CLSIDFromProgID(testctl::kProgId, &byName), S_OK);
  EXPECT_TRUE(IsEqualGUID(&byName, &testctl::kClsid));
}

TEST_F(HostedTestControl, CalledByDispatchNumber) {
  pl::HostedControl control;
  ASSERT_EQ(create(control, pl::hwndOf(&host_)), S_OK);
  ASSERT_NE(control.window(), 0u);
  EXPECT_TRUE(IsWindow(control.window()));
  EXPECT_FALSE(IsWindowVisible(control.window()));
  EXPECT_EQ(control.callInt(testctl::kWindow), static_cast<int32_t>(control.window()));

  EXPECT_EQ(control.callInt(testctl::kAdd, 40, 2), 42);
  int32_t n = 21;
  EXPECT_EQ(control.callInt(testctl::kDouble, &n), 21);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(control.callInt(testctl::kAdd, &n, 1), 43);  // a by-reference integer reads as its value
  EXPECT_EQ(control.callString(testctl::kGreet, "監視カメラ"), "Hello, 監視カメラ");
  EXPECT_EQ(control.callInt(testctl::kLength, std::string("abc")), 3);

  control.callInt(testctl::kAdd, 1);
  EXPECT_EQ(control.lastResult(), DISP_E_BADPARAMCOUNT);
  control.callInt(testctl::kAdd, "1", 2);
  EXPECT_EQ(control.lastResult(), DISP_E_TYPEMISMATCH);
  control.callInt(testctl::kDouble, 5);  // by value where a reference is needed
  EXPECT_EQ(control.lastResult(), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(control.callInt(999), 0);
  EXPECT_EQ(control.lastResult(), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(control.invoke(DISPID_ABOUTBOX), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(control.invoke(testctl::kThrow), DISP_E_EXCEPTION);
  // Still usable after the failures.
  EXPECT_EQ(control.callInt(testctl::kAdd, -1, 1), 0);
  EXPECT_EQ(control.lastResult(), S_OK);
}

TEST_F(HostedTestControl, EventsReachTheHostOnTheUiThread) {
  pl::HostedControl control;
  ASSERT_EQ(create(control, pl::hwndOf(&host_)), S_OK);

  // Fired during the call: the handler runs inside it and may call back.
  int32_t reentrant = 0;
  onEvent_ = [&](DISPID id) {
    if (id == testctl::kValueEvent) reentrant = control.callInt(testctl::kAdd, 1, 1);
  };
  EXPECT_EQ(control.callInt(testctl::kFireNow, 7), 0);
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[0].id, testctl::kValueEvent);
  EXPECT_EQ(events_[0].arg.toInt(), 7);
  EXPECT_EQ(events_[1].id, testctl::kTextEvent);
  EXPECT_EQ(events_[1].arg.toString(), "fired 7");
  EXPECT_EQ(reentrant, 2);
  onEvent_ = nullptr;

  // Through the control's own window message, and from a worker thread.
  events_.clear();
  EXPECT_EQ(control.callInt(testctl::kFireLater, 8), 0);
  EXPECT_EQ(control.callInt(testctl::kFireFromThread, 9), 0);
  EXPECT_TRUE(events_.empty());
  QTRY_COMPARE_WITH_TIMEOUT(events_.size(), size_t{2}, 5000);
  EXPECT_EQ(events_[0].arg.toInt(), 8);
  EXPECT_EQ(events_[1].arg.toInt(), 9);
  EXPECT_TRUE(events_[0].onUiThread);
  EXPECT_TRUE(events_[1].onUiThread);

  // No events after release, even those already on their way.
  events_.clear();
  control.callInt(testctl::kFireLater, 10);
  HWND window = control.window();
  control.release();
  EXPECT_FALSE(IsWindow(window));
  QTest::qWait(50);
  EXPECT_TRUE(events_.empty());
}

TEST_F(HostedTestControl, ReleasingTheLastControlLetsTheServerUnload) {
  {
    pl::HostedControl a, b;
    ASSERT_EQ(create(a, pl::hwndOf(&host_)), S_OK);
    ASSERT_EQ(create(b, 0), S_OK);  // no host: a message-only window
    EXPECT_NE(b.window(), 0u);
    EXPECT_EQ(b.callInt(testctl::kAdd, 2, 3), 5);
    pl::HostedControl moved = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_EQ(moved.callInt(testctl::kAdd, 1, 2), 3);
  }
  void* module = dlopen(comtest::controlFile().toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(module, nullptr);
  auto canUnload = reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(module, "DllCanUnloadNow"));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
  dlclose(module);

  // A plain class of the same server, and a host handle that does not exist.
  pl::ComPtr<IDispatch> page;
  ASSERT_EQ(CoCreateInstance(&testctl::kPageClsid, nullptr, CLSCTX_INPROC_SERVER, &IID_IDispatch, page.putVoid()),
            S_OK);
  EXPECT_EQ(page->lpVtbl->Invoke(page.get(), 1, nullptr, 0, nullptr), DISP_E_MEMBERNOTFOUND);
  pl::HostedControl orphan;
  EXPECT_EQ(create(orphan, 0x7FFFFFF0u), E_HANDLE);
  EXPECT_FALSE(orphan);
}

// --- regsvr32 ---------------------------------------------------------------

TEST(Regsvr32, UnregisterRemovesExactlyItsEntries) {
  TempRegistry reg;
  ASSERT_EQ(pl_RegSetString("CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32", "", "/x.so"), 0);
  ASSERT_EQ(pl_RegSetString("Software\\Other", "a", "b"), 0);
  const QByteArray before = reg.text();
  // Relative to the working directory; options in any case, with '-' too.
  auto r = regsvr32({"-S", "TestCtl.OCX"}, comtest::outDir() + "/tests");
  ASSERT_EQ(r.exitCode, 0) << r.errors.constData();
  EXPECT_EQ(serverFile(), QFileInfo(comtest::controlFile()).absoluteFilePath());
  r = regsvr32({"/U", "/s", comtest::controlFile()});
  ASSERT_EQ(r.exitCode, 0) << r.errors.constData();
  EXPECT_EQ(reg.text(), before);
}

TEST(Regsvr32, MachineSwitchWritesTheMachineRegistryOnly) {
  TempRegistry reg;
  const QString machine = reg.dirPath() + "/var/registry.reg";
  ScopedEnv machineEnv("PL_MACHINE_REGISTRY", QFile::encodeName(machine));
  auto r = regsvr32({"/m", "/s", comtest::controlFile()});
  ASSERT_EQ(r.exitCode, 0) << r.errors.constData();
  EXPECT_TRUE(reg.text().isEmpty());
  EXPECT_EQ(serverFile(), comtest::controlFile());  // seen from the user's side
  // The user's brimlift-style unregistration leaves the machine's entry.
  ASSERT_EQ(regsvr32({"/u", "/s", comtest::controlFile()}).exitCode, 0);
  EXPECT_EQ(serverFile(), comtest::controlFile());
  ASSERT_EQ(regsvr32({"/s", "/U", "/M", comtest::controlFile()}).exitCode, 0);
  EXPECT_EQ(get(kServerKey), "<missing>");

  ScopedEnv unwritable("PL_MACHINE_REGISTRY", "/dev/null/registry.reg");
  r = regsvr32({"/m", "/s", comtest::controlFile()});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_TRUE(r.errors.contains("/dev/null/registry.reg (written by root only)")) << r.errors.constData();
}

TEST(Regsvr32, FailuresEndWithTheirExitCodes) {
  TempRegistry reg;
  EXPECT_EQ(regsvr32({"/s"}).exitCode, 1);                                  // no file
  EXPECT_EQ(regsvr32({"--help"}).exitCode, 0);                              // usage on stdout, no box
  EXPECT_EQ(regsvr32({"/s", "/x", comtest::controlFile()}).exitCode, 1);    // unknown option
  EXPECT_EQ(regsvr32({"/s", reg.dirPath() + "/missing.OCX"}).exitCode, 3);  // no such file
  const QString text = reg.dirPath() + "/text.OCX";
  ASSERT_TRUE(testkit::writeFile(text, "MZ but not really"));
  EXPECT_EQ(regsvr32({"/s", text}).exitCode, 3);  // not loadable
  char platform[4096];
  ASSERT_GT(pl_ModulePath(&IID_IUnknown, platform, sizeof platform), 0);
  EXPECT_EQ(regsvr32({"/s", platform}).exitCode, 4);  // no entry points
  EXPECT_EQ(regsvr32({"/s", "/u", platform}).exitCode, 4);
  EXPECT_TRUE(reg.text().isEmpty());

  ScopedEnv unwritable("PL_REGISTRY", "/dev/null/registry.reg");
  auto r = regsvr32({"/s", comtest::controlFile()});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_TRUE(r.errors.contains("Return code was: 0x80040200")) << r.errors.constData();
}

TEST(Regsvr32, ReportsInAMessageBoxUnlessQuiet) {
  TempRegistry reg;
  const QString log = reg.dirPath() + "/boxes.log";
  ScopedEnv answers("PL_MSGBOX_ANSWERS", "ok,ok,ok");
  ScopedEnv logFile("PL_MSGBOX_LOG", QFile::encodeName(log));
  EXPECT_EQ(regsvr32({comtest::controlFile()}).exitCode, 0);
  EXPECT_EQ(regsvr32({"/s", "/u", comtest::controlFile()}).exitCode, 0);  // quiet: no box
  EXPECT_EQ(regsvr32({reg.dirPath() + "/missing.OCX"}).exitCode, 3);
  const QString boxes = QString::fromUtf8(testkit::readFile(log));
  EXPECT_TRUE(boxes.contains("RegSvr32\tDllRegisterServer in " + comtest::controlFile() + " succeeded."))
      << boxes.toStdString();
  EXPECT_FALSE(boxes.contains("DllUnregisterServer")) << boxes.toStdString();
  EXPECT_TRUE(boxes.contains("missing.OCX\") failed")) << boxes.toStdString();
}
