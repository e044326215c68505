// The frame store as the host sees it: drawing, status texts, BMP export.
#include <cstdio>
#include <fstream>

#include "draw_handle.h"
#include "korvex_ctrl.h"

namespace korvex {

bool CKorvexCtrl::unitAccepted(int32_t usbno) const { return usbno >= 0 && usbno < deviceCount_ && usbno < kMaxUnits; }

void CKorvexCtrl::DrawFrame(HWND window, const BITMAPINFOHEADER& header, const BYTE* pixels) {
  if (window == 0) return;
  RECT client{};
  GetClientRect(window, &client);
  HDC dc = GetDC(window);
  DrawDibDraw(drawHandle(), dc, client.left, client.top, client.right - client.left, client.bottom - client.top,
              &header, pixels, 0, 0, -1, -1, 0);
  ReleaseDC(window, dc);
}

namespace {
int32_t setText(HWND hwnd, const char* text) {
  SetWindowTextA(hwnd, text);
  return 1;
}
}  // namespace

int32_t CKorvexCtrl::DspFmtTyp(int32_t usbno, HWND hwnd) {
  if (!unitAccepted(usbno)) return 0;
  const BITMAPINFOHEADER& h = units_[static_cast<size_t>(usbno)].header;
  char text[64];
  std::snprintf(text, sizeof text, "%03d * %03d", static_cast<int>(h.biWidth), static_cast<int>(h.biHeight));
  return setText(hwnd, text);
}

int32_t CKorvexCtrl::DspCmpTyp(int32_t usbno, HWND hwnd) {
  if (!unitAccepted(usbno)) return 0;
  const DWORD c = units_[static_cast<size_t>(usbno)].header.biCompression;
  char text[64] = "RGB24";  // every uncompressed format, whatever its bit count
  if (c != BI_RGB) {
    std::snprintf(text, sizeof text, "%c%c%c%c", static_cast<char>(c & 0xff), static_cast<char>((c >> 8) & 0xff),
                  static_cast<char>((c >> 16) & 0xff), static_cast<char>((c >> 24) & 0xff));
  }
  return setText(hwnd, text);
}

int32_t CKorvexCtrl::DspGetSize(int32_t usbno, HWND hwnd) {
  if (!unitAccepted(usbno)) return 0;
  char text[64];
  std::snprintf(text, sizeof text, "%06d Byte", static_cast<int>(units_[static_cast<size_t>(usbno)].frameLength));
  return setText(hwnd, text);
}

int32_t CKorvexCtrl::DspGetDay(int32_t usbno, HWND hwnd) {
  if (!unitAccepted(usbno)) return 0;
  const CaptureTime& t = units_[static_cast<size_t>(usbno)].time;
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return setText(hwnd, text);
}

int32_t CKorvexCtrl::WriteBmp(int32_t usbno, const std::string& path) {
  if (!unitAccepted(usbno)) return 0;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return 0;
  const UnitRecord& unit = units_[static_cast<size_t>(usbno)];
  // A unit without a frame buffer (released by EndCapture) has no pixels to give.
  const uint32_t length = unit.frame ? static_cast<uint32_t>(unit.frameLength) : 0;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfSize = length + 54;
  fh.bfOffBits = 54;
  file.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  file.write(reinterpret_cast<const char*>(&unit.header), sizeof unit.header);
  if (length > 0) file.write(reinterpret_cast<const char*>(unit.frame.get()), length);
  return 0;
}

}  // namespace korvex
