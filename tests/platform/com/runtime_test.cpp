// Component runtime without a server: class ids, class lookup failures,
// apartments, module paths and variant ownership.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <thread>

#include "platform/com_ptr.h"
#include "testkit/com.h"

using comtest::TempRegistry;

namespace {
const GUID kSome = {0x0123ABCD, 0x4567, 0x89EF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
const char* kSomeText = "{0123ABCD-4567-89EF-FEDC-BA9876543210}";
}  // namespace

TEST(ComRuntime, ClassIdText) {
  char text[39];
  EXPECT_EQ(StringFromGUID2(&kSome, text, sizeof text), 39);
  EXPECT_STREQ(text, kSomeText);
  EXPECT_EQ(StringFromGUID2(&kSome, text, 38), 0);
  CLSID parsed{};
  EXPECT_EQ(CLSIDFromString("{0123abcd-4567-89ef-fedc-ba9876543210}", &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(&parsed, &kSome));
  for (const char* bad : {"", "0123ABCD-4567-89EF-FEDC-BA9876543210", "{0123ABCD-4567-89EF-FEDC-BA987654321G}",
                          "{0123ABCD-4567-89EF-FEDCBA9876543210}", "{0123ABCD-4567-89EF-FEDC-BA9876543210}x"}) {
    EXPECT_TRUE(FAILED(CLSIDFromString(bad, &parsed))) << bad;
  }
  EXPECT_TRUE(FAILED(CLSIDFromString(nullptr, &parsed)));
  EXPECT_FALSE(IsEqualGUID(&IID_IOleControlSite, &IID_IDispatch));
}

TEST(ComRuntime, UnknownOrBrokenServersGiveTheirCodes) {
  TempRegistry reg;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(&kSome, nullptr, CLSCTX_INPROC_SERVER, &IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(out, nullptr);
  CLSID byName{};
  EXPECT_EQ(CLSIDFromProgID("No.Such.1", &byName), REGDB_E_CLASSNOTREG);

  const std::string key = std::string("CLSID\\") + kSomeText + "\\InprocServer32";
  ASSERT_EQ(pl_RegSetString(key.c_str(), "", (reg.dirPath() + "/missing.OCX").toUtf8().constData()), 0);
  EXPECT_EQ(CoCreateInstance(&kSome, nullptr, CLSCTX_INPROC_SERVER, &IID_IUnknown, &out), CO_E_DLLNOTFOUND);

  const QString notElf = reg.dirPath() + "/text.OCX";
  ASSERT_TRUE(testkit::writeFile(notElf, "not a shared object"));
  ASSERT_EQ(pl_RegSetString(key.c_str(), "", notElf.toUtf8().constData()), 0);
  EXPECT_EQ(CoCreateInstance(&kSome, nullptr, CLSCTX_INPROC_SERVER, &IID_IUnknown, &out), CO_E_ERRORINDLL);

  // A real shared object without the entry points: the platform library itself.
  char platform[4096];
  ASSERT_GT(pl_ModulePath(&IID_IUnknown, platform, sizeof platform), 0);
  ASSERT_EQ(pl_RegSetString(key.c_str(), "", platform), 0);
  EXPECT_EQ(CoGetClassObject(&kSome, CLSCTX_INPROC_SERVER, nullptr, &IID_IClassFactory, &out), CO_E_ERRORINDLL);
  EXPECT_EQ(out, nullptr);

  auto* outer = reinterpret_cast<IUnknown*>(&out);
  EXPECT_EQ(CoCreateInstance(&kSome, outer, CLSCTX_INPROC_SERVER, &IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(&kSome, nullptr, CLSCTX_INPROC_SERVER, &IID_IUnknown, nullptr), E_POINTER);
  IDispatch* control = nullptr;
  EXPECT_EQ(pl_CreateControl(&kSome, 0, nullptr, &control, nullptr), CO_E_ERRORINDLL);
  EXPECT_EQ(control, nullptr);
  pl_ReleaseControl(nullptr);
}

TEST(ComRuntime, ApartmentCountsArePerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  HRESULT other = E_FAIL;
  std::thread([&] {
    other = CoInitialize(nullptr);
    CoUninitialize();
  }).join();
  EXPECT_EQ(other, S_OK);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many is harmless
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(ComRuntime, ModulePaths) {
  char path[4096];
  static const int anchor = 0;
  ASSERT_GT(pl_ModulePath(&anchor, path, sizeof path), 0);
  EXPECT_EQ(QFileInfo(QString::fromUtf8(path)).fileName(), "com_tests");
  ASSERT_GT(pl_ModulePath(&IID_IDispatch, path, sizeof path), 0);
  EXPECT_TRUE(QString::fromUtf8(path).startsWith('/'));
  EXPECT_TRUE(QString::fromUtf8(path).endsWith("libplatform.so")) << path;
  EXPECT_EQ(pl_ModulePath(&IID_IDispatch, path, 3), 0);
  EXPECT_EQ(pl_ModulePath(nullptr, path, sizeof path), 0);
}

TEST(ComRuntime, VariantsOwnTheirStrings) {
  pl::Variant a("監視");
  pl::Variant b = a;  // a copy of its own
  pl::Variant c = std::move(a);
  EXPECT_EQ(b.toString(), "監視");
  EXPECT_EQ(c.toString(), "監視");
  EXPECT_EQ(a.type(), VT_EMPTY);
  b = c;
  b = pl::Variant(7);
  EXPECT_TRUE(b.isInt());
  EXPECT_EQ(b.toInt(), 7);
  int32_t n = 5;
  pl::Variant ref(&n);
  EXPECT_EQ(ref.toInt(), 5);
  pl::Variant refCopy = ref;
  VariantClear(const_cast<VARIANT*>(refCopy.get()));  // never frees what it points at
  EXPECT_EQ(n, 5);
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
}
