// The control as a component: registration, dispatch, the request ring and
// the order of its events.
#include <QElapsedTimer>

#include "platform/registry.h"
#include "testkit/korvex_host.h"

namespace korvextest {
namespace {

std::string key(const GUID& g, const char* prefix, const char* suffix = "") {
  char text[40];
  StringFromGUID2(&g, text, sizeof text);
  return std::string(prefix) + text + suffix;
}

TEST(KorvexRegistration, AddsAndRemovesExactlyItsOwnEntries) {
  comtest::TempRegistry registry;
  ASSERT_EQ(pl_RegSetString("CLSID\\{00000000-1111-2222-3333-444444444444}", nullptr, "Someone Else"), ERROR_SUCCESS);
  const QString file = comtest::outDir() + "/Korvex.OCX";
  ASSERT_EQ(comtest::regsvr32({"/s", file}).exitCode, 0);

  const std::string clsid = key(CLSID_Korvex, "CLSID\\");
  EXPECT_EQ(comtest::get(clsid.c_str()), "Korvex Control");
  EXPECT_EQ(comtest::get((clsid + "\\ProgID").c_str()), KORVEX_PROGID);
  EXPECT_EQ(comtest::get((clsid + "\\InprocServer32").c_str(), "ThreadingModel"), "Apartment");
  EXPECT_NE(comtest::get((clsid + "\\InprocServer32").c_str()).find("Korvex.OCX"), std::string::npos);
  EXPECT_EQ(comtest::get((clsid + "\\MiscStatus\\1").c_str()), "131473");  // 0x20191
  EXPECT_TRUE(pl_RegKeyExists((clsid + "\\Control").c_str()));
  EXPECT_EQ(comtest::get(KORVEX_PROGID "\\CLSID"), key(CLSID_Korvex, ""));
  EXPECT_EQ(comtest::get("Korvex.KorvexPropPage.1"), "Korvex Property Page");
  EXPECT_EQ(comtest::get(key(CLSID_KorvexPropPage, "CLSID\\").c_str()), "Korvex Property Page");
  EXPECT_EQ(comtest::get(key(LIBID_KorvexLib, "TypeLib\\", "\\1.0").c_str()), "Korvex ActiveX ｺﾝﾄﾛｰﾙ ﾓｼﾞｭｰﾙ");
  EXPECT_TRUE(pl_RegKeyExists(key(DIID__DKorvex, "Interface\\").c_str()));
  EXPECT_TRUE(pl_RegKeyExists(key(DIID__DKorvexEvents, "Interface\\").c_str()));

  ASSERT_EQ(comtest::regsvr32({"/u", "/s", file}).exitCode, 0);
  for (const std::string& k : {clsid, key(CLSID_KorvexPropPage, "CLSID\\"), std::string(KORVEX_PROGID),
                               std::string("Korvex.KorvexPropPage.1"), key(LIBID_KorvexLib, "TypeLib\\"),
                               key(DIID__DKorvex, "Interface\\"), key(DIID__DKorvexEvents, "Interface\\")}) {
    EXPECT_FALSE(pl_RegKeyExists(k.c_str())) << k;
  }
  EXPECT_EQ(comtest::get("CLSID\\{00000000-1111-2222-3333-444444444444}"), "Someone Else");
}

TEST_F(KorvexTest, AnswersByDispatchNumberAndRefusesWhatItDoesNotKnow) {
  EXPECT_EQ(control_.invoke(999), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(control_.invoke(DISPID_KORVEX_SetCapWind, {pl::Variant(int32_t{1})}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(control_.invoke(DISPID_KORVEX_SetSafeMode, {pl::Variant("1")}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(call(DISPID_KORVEX_SetCapWind, int32_t{0}, h(texts_[0])), 1);
  EXPECT_EQ(call(DISPID_KORVEX_SetCapWind, int32_t{13}, h(texts_[0])), 1);
  EXPECT_EQ(call(DISPID_KORVEX_SetCapWind, int32_t{12}, int32_t{12345}), 0);

  pl::Variant dir;
  EXPECT_EQ(control_.invoke(DISPID_KORVEX_GetWinDir, {}, &dir), S_OK);
  EXPECT_EQ(dir.get()->vt, VT_BSTR);

  // By-reference integers are read like values (the host passes some so).
  int32_t size = 2, comp = 2;
  EXPECT_EQ(control_.invoke(DISPID_KORVEX_PreViewFmtSet, {pl::Variant(&size), pl::Variant(&comp)}), S_OK);

  // Properties read 0 before any format is held; setting one stores nothing.
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpWidth), 0);
  EXPECT_EQ(control_.invoke(DISPID_KORVEX_GetPreBmpWidth, {pl::Variant(int32_t{99})}), S_OK);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpWidth), 0);
}

TEST_F(KorvexTest, RunStatesFollowTheHostsCallOrder) {
  EXPECT_EQ(call(DISPID_KORVEX_CaptureStart, int32_t{0}), 1);  // before InitCapture
  EXPECT_EQ(call(DISPID_KORVEX_EndCapture), 0);
  EXPECT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{1}, int32_t{33}, int32_t{5}), 1);  // not started
  const int32_t instance = call(DISPID_KORVEX_InitCapture, int32_t{6});
  EXPECT_NE(instance, 0);
  EXPECT_NE(instance, 1);
  EXPECT_EQ(call(DISPID_KORVEX_InitCapture, int32_t{6}), 1);
  EXPECT_EQ(call(DISPID_KORVEX_GetUsbDevice, h(combo_)), 0);
  ASSERT_EQ(combo_->count(), 3);
  EXPECT_EQ(combo_->itemText(0).left(4), "1 : ");
  EXPECT_EQ(call(DISPID_KORVEX_CaptureStart, int32_t{0}), 0);
  EXPECT_EQ(call(DISPID_KORVEX_CaptureStart, int32_t{0}), 1);
  EXPECT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{0}, int32_t{33}, int32_t{5}), 1);
  EXPECT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{13}, int32_t{33}, int32_t{5}), 1);
  EXPECT_EQ(call(DISPID_KORVEX_CaptureEnd), 0);
  EXPECT_EQ(call(DISPID_KORVEX_CaptureStart, int32_t{0}), 0);  // a new run may start
}

TEST_F(KorvexTest, DeviceListNumbersEveryRoundFromOne) {
  useCameras({{"Cam A"}, {"カメラ B"}});
  listDevices();
  call(DISPID_KORVEX_GetUsbDevice, h(combo_));
  ASSERT_EQ(combo_->count(), 4);
  EXPECT_EQ(combo_->itemText(0), "1 : Cam A");
  EXPECT_EQ(combo_->itemText(1), "2 : カメラ B");
  EXPECT_EQ(combo_->itemText(2), "1 : Cam A");
  EXPECT_EQ(call(DISPID_KORVEX_DspComboText, h(combo_), int32_t{1}), 0);
  EXPECT_EQ(combo_->currentIndex(), 1);
  EXPECT_EQ(call(DISPID_KORVEX_GetUsbDevice, int32_t{12345}), 0);  // no list: nothing shown, no crash
}

TEST_F(KorvexTest, RingHoldsFifteenRequestsAndRefusesTheSixteenth) {
  startRun();
  for (int i = 0; i < 15; ++i) EXPECT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{1}, int32_t{33}, int32_t{5}), 0) << i;
  EXPECT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{1}, int32_t{33}, int32_t{5}), 1);
  call(DISPID_KORVEX_CaptureEnd);  // empties the ring
  pumpFor(1300);
  EXPECT_TRUE(events_.empty());
}

TEST_F(KorvexTest, RequestsLeaveInOrderEachAnnouncedFirstABacklogBackToBack) {
  startRun();
  std::vector<qint64> announced;
  QElapsedTimer clock;
  clock.start();
  onEvent_ = [&](const Event& e) {
    if (e.id == DISPID_KORVEX_EVENT_CapDspNo) announced.push_back(clock.elapsed());
  };
  for (int32_t unit : {2, 1, 2, 3}) ASSERT_EQ(call(DISPID_KORVEX_CaptureGo, unit, int32_t{33}, int32_t{5}), 0);
  ASSERT_TRUE(waitCaptures(4, 15000));
  ASSERT_EQ(events_.size(), 8u);
  const int32_t order[] = {2, 1, 2, 3};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(events_[2 * i].id, DISPID_KORVEX_EVENT_CapDspNo);
    EXPECT_EQ(events_[2 * i].unit, order[i]);
    EXPECT_EQ(events_[2 * i + 1].id, DISPID_KORVEX_EVENT_Capture);
    EXPECT_EQ(events_[2 * i + 1].unit, order[i]);
    EXPECT_EQ(events_[2 * i + 1].code, KORVEX_CAPTURED);
  }
  // The first waits for the tick; the rest follow each capture's end, not a tick apart.
  for (size_t i = 1; i < announced.size(); ++i) EXPECT_LT(announced[i] - announced[i - 1], 700) << i;
}

TEST_F(KorvexTest, EndingTheRunDropsAnnouncementsAndSilencesCapturesUnderWay) {
  startRun();
  // An announcement already posted when the run ends is dropped without an event.
  PostMessageA(control_.window(), WM_CAPTURE_ANNOUNCE, 0, (5 << 8) + 33);
  call(DISPID_KORVEX_CaptureEnd);
  pumpFor(300);
  EXPECT_TRUE(events_.empty());

  // Ending the run as a capture begins: the capture finishes, but says nothing.
  call(DISPID_KORVEX_CaptureStart, int32_t{0});
  onEvent_ = [&](const Event& e) {
    if (e.id == DISPID_KORVEX_EVENT_CapDspNo) call(DISPID_KORVEX_CaptureEnd);
  };
  ASSERT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{1}, int32_t{33}, int32_t{5}), 0);
  ASSERT_TRUE(waitUntil([&] { return !events_.empty(); }, 3000));
  pumpFor(1500);
  ASSERT_EQ(events_.size(), 1u);
  EXPECT_EQ(events_[0].id, DISPID_KORVEX_EVENT_CapDspNo);
  texts_[0]->setText("");
  EXPECT_EQ(call(DISPID_KORVEX_DspGetSize, int32_t{0}, h(texts_[0])), 1);
  EXPECT_EQ(text(texts_[0]), "460800 Byte");  // the frame was still stored
}

}  // namespace
}  // namespace korvextest
