#include "clients/korvex_client.h"

namespace selvane {

bool KorvexClient::create(HWND host, Events events, QString* error) {
  auto handler = [events](DISPID id, const VARIANT* args, UINT argc) {
    auto arg = [&](UINT i) { return i < argc && args[i].vt == VT_I4 ? args[i].lVal : -1; };
    if (id == DISPID_KORVEX_EVENT_CapDspNo && events.capDspNo) events.capDspNo(arg(0));
    if (id == DISPID_KORVEX_EVENT_Capture && events.capture) events.capture(arg(0), arg(1));
  };
  const HRESULT hr = control_.create(&CLSID_Korvex, host, handler);
  if (SUCCEEDED(hr)) return true;
  if (error) *error = QStringLiteral("0x%1").arg(static_cast<uint32_t>(hr), 8, 16, QLatin1Char('0'));
  return false;
}

}  // namespace selvane
