// Device enumeration into the control's table (and the host's list) and into
// the worker's table.
#include <string>

#include "korvex_ctrl.h"

namespace korvex {
namespace {

// UTF-16 units of a friendly name to UTF-8 (lone surrogates become '?').
std::string toUtf8(const uint16_t* units, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00u);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = '?';
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Calls `take(device, name)` for every device whose friendly name can be
// read, at most kMaxDevices of them. False when no enumerator can be made.
template <class Take>
bool forEachNamedDevice(Take take) {
  GraphPtr graph;  // made and dropped again, as a check that graphs can be built
  {
    CG_GRAPH* g = nullptr;
    if (FAILED(cg_CreateFilterGraph(&g))) return false;
    graph.reset(g);
  }
  CG_DEVENUM* raw = nullptr;
  if (FAILED(cg_CreateDeviceEnumerator(&raw))) return false;
  DeviceEnumPtr devices(raw);
  int found = 0;
  CG_DEVICE* d = nullptr;
  while (found < CKorvexCtrl::kMaxDevices && cg_DeviceEnumNext(devices.get(), &d) == S_OK) {
    DevicePtr device(d);
    uint16_t name[1020];  // the list text keeps at most 1,019 characters of a name
    const int n = cg_DeviceFriendlyName(device.get(), name, static_cast<int>(std::size(name)));
    if (n < 0) continue;
    take(found, std::move(device), name, n);
    ++found;
  }
  return true;
}

}  // namespace

int32_t CKorvexCtrl::GetUsbDevice(HWND combo) {
  int count = 0;
  const bool ok = forEachNamedDevice([&](int position, DevicePtr device, const uint16_t* name, int length) {
    devices_[static_cast<size_t>(position)] = std::move(device);
    count = position + 1;
    deviceCount_ = count;
    // "<n> : <name>", where n is the character '0' + device number.
    std::string text(1, static_cast<char>('0' + position + 1));
    text += " : ";
    text += toUtf8(name, length);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  });
  return ok ? 0 : 1;
}

int CKorvexCtrl::EnumerateVideoDevices() {
  int count = 0;
  forEachNamedDevice([&](int position, DevicePtr device, const uint16_t*, int) {
    workerDevices_[static_cast<size_t>(position)] = std::move(device);
    count = position + 1;
  });
  return count;
}

void CKorvexCtrl::releaseWorkerTable(int count) {
  for (int i = 0; i < std::min(count, kMaxDevices); ++i) workerDevices_[static_cast<size_t>(i)].reset();
}

}  // namespace korvex
