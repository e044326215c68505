// The capture control Korvex as the control screen hosts it: created by
// class id through the registry, sited hidden on the control screen, called
// by dispatch number. Events arrive on the UI thread, inside the control's
// message handling. UI thread only.
#pragma once
#include <QString>
#include <functional>
#include <string>

#include "korvex/korvex.h"
#include "platform/com_host.h"

namespace selvane {

class KorvexClient {
 public:
  struct Events {
    std::function<void(int32_t usbno)> capDspNo;
    std::function<void(int32_t usbno, int32_t rtcd)> capture;
  };

  // Creates the control on `host`. False (with a reason) when it cannot.
  bool create(HWND host, Events events, QString* error);
  void release() { control_.release(); }
  bool valid() const { return static_cast<bool>(control_); }

  int32_t InitCapture(int32_t units) { return call(DISPID_KORVEX_InitCapture, units); }
  int32_t EndCapture() { return call(DISPID_KORVEX_EndCapture); }
  int32_t GetUsbDevice(HWND combo) { return call(DISPID_KORVEX_GetUsbDevice, handle(combo)); }
  int32_t DspComboText(HWND combo, int32_t idx) { return call(DISPID_KORVEX_DspComboText, handle(combo), idx); }
  int32_t SetSafeMode(int32_t mode) {
    int32_t byRef = mode;  // the host passes it by reference
    return call(DISPID_KORVEX_SetSafeMode, &byRef);
  }
  int32_t SetCapWind(int32_t unit, HWND hwnd) { return call(DISPID_KORVEX_SetCapWind, unit, handle(hwnd)); }
  int32_t CaptureStart(HWND owner) { return call(DISPID_KORVEX_CaptureStart, handle(owner)); }
  int32_t CaptureEnd() { return call(DISPID_KORVEX_CaptureEnd); }
  int32_t CaptureGo(int32_t unit, int32_t fmtno, int32_t mtcmp) {
    return call(DISPID_KORVEX_CaptureGo, unit, fmtno, mtcmp);
  }
  int32_t DspFmtTyp(int32_t k, HWND w) { return call(DISPID_KORVEX_DspFmtTyp, k, handle(w)); }
  int32_t DspCmpTyp(int32_t k, HWND w) { return call(DISPID_KORVEX_DspCmpTyp, k, handle(w)); }
  int32_t DspGetSize(int32_t k, HWND w) { return call(DISPID_KORVEX_DspGetSize, k, handle(w)); }
  int32_t DspGetDay(int32_t k, HWND w) { return call(DISPID_KORVEX_DspGetDay, k, handle(w)); }
  int32_t WriteBmp(int32_t k, const QString& path) {
    return call(DISPID_KORVEX_WriteBmp, k, path.toUtf8().toStdString());
  }
  int32_t PreViewFmtSet(int32_t size, int32_t comp) {
    int32_t s = size, c = comp;  // by reference, as the host passes them
    return call(DISPID_KORVEX_PreViewFmtSet, &s, &c);
  }
  int32_t PreUsbGo(HWND hwnd, int32_t devno) { return call(DISPID_KORVEX_PreUsbGo, handle(hwnd), devno); }
  int32_t PreUsbEnd() { return call(DISPID_KORVEX_PreUsbEnd); }
  int32_t GetPreBmpWidth() { return call(DISPID_KORVEX_GetPreBmpWidth); }
  int32_t GetPreBmpHight() { return call(DISPID_KORVEX_GetPreBmpHight); }
  int32_t GetPreBmpComp() { return call(DISPID_KORVEX_GetPreBmpComp); }

 private:
  static int32_t handle(HWND h) { return static_cast<int32_t>(h); }
  template <class... A>
  int32_t call(DISPID id, A... args) {
    return control_ ? control_.callInt(id, args...) : 0;
  }
  pl::HostedControl control_;
};

}  // namespace selvane
