// Korvex.OCX sited as the program sites it: created by class id on a host
// window that holds the device list box and the six display windows, called
// by dispatch number. The tests' fixture (testkit/korvex_host.h) and the
// capture control benchmark build on it. UI thread only.
#pragma once
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <utility>

#include "korvex/korvex.h"
#include "platform/com_host.h"
#include "platform/qt_bridge.h"

namespace testkit {

inline int32_t handleOf(QWidget* w) { return static_cast<int32_t>(pl::hwndOf(w)); }

class KorvexSite {
 public:
  using Listener = std::function<void(DISPID id, const VARIANT* args, UINT argc)>;

  KorvexSite(int width, int height) : host_(std::make_unique<QWidget>()) {
    host_->resize(width, height);
    combo_ = new QComboBox(host_.get());
    for (auto& t : texts_) t = new QLineEdit(host_.get());
  }
  virtual ~KorvexSite() { releaseControl(); }
  KorvexSite(const KorvexSite&) = delete;
  KorvexSite& operator=(const KorvexSite&) = delete;

  HRESULT createControl(Listener onEvent) {
    return control_.create(&CLSID_Korvex, pl::hwndOf(host_.get()), std::move(onEvent));
  }
  // Ends capture and the run as the program's close does, and releases it.
  void releaseControl() {
    if (control_) {
      call(DISPID_KORVEX_CaptureEnd);
      call(DISPID_KORVEX_EndCapture);
    }
    control_.release();
  }
  template <class... A>
  int32_t call(DISPID id, A... args) {
    return control_.callInt(id, args...);
  }
  // InitCapture for six units and the device list into the list box: what
  // the control screen does at start-up. GetUsbDevice's result.
  int32_t listDevices() {
    call(DISPID_KORVEX_InitCapture, int32_t{6});
    return call(DISPID_KORVEX_GetUsbDevice, handleOf(combo_));
  }
  // The six text boxes as the units' display windows.
  void setDisplayWindows() {
    for (int32_t u = 1; u <= 6; ++u) call(DISPID_KORVEX_SetCapWind, u, handleOf(texts_[static_cast<size_t>(u - 1)]));
  }

 protected:
  std::unique_ptr<QWidget> host_;
  QComboBox* combo_ = nullptr;
  std::array<QLineEdit*, 6> texts_{};
  pl::HostedControl control_;
};

}  // namespace testkit
