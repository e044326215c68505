// Drawing engine entry points. A handle is a never-reused number standing for
// a heap context kept in a registry, so closed or made-up handles are refused
// instead of dereferenced.
#include "platform/drawdib.h"

#include <cstring>
#include <memory>
#include <unordered_map>

#include "drawdib/dib_convert.h"
#include "drawdib/dib_picture.h"
#include "drawdib/drawdib_context.h"
#include "window/window_internal.h"

namespace {

using pl::drawdib::DibKind;
using pl::drawdib::DibPicture;
using pl::drawdib::LastFrame;

// Destination coordinates beyond this are nonsense (and would overflow QRect).
constexpr int kMaxCoordinate = 1 << 24;

class Registry {
 public:
  HDRAWDIB add(std::shared_ptr<DrawDibContext> context) {
    std::lock_guard lock(mutex_);
    const uintptr_t id = ++lastId_;
    live_.emplace(id, std::move(context));
    return reinterpret_cast<HDRAWDIB>(id);
  }
  std::shared_ptr<DrawDibContext> find(HDRAWDIB handle) {
    std::lock_guard lock(mutex_);
    const auto it = live_.find(reinterpret_cast<uintptr_t>(handle));
    return it == live_.end() ? nullptr : it->second;
  }
  // The context lives on until calls still running on it have finished.
  bool remove(HDRAWDIB handle) {
    std::shared_ptr<DrawDibContext> doomed;
    std::lock_guard lock(mutex_);
    const auto it = live_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == live_.end()) return false;
    doomed = std::move(it->second);
    live_.erase(it);
    return true;
  }

 private:
  std::mutex mutex_;
  uintptr_t lastId_ = 0;
  std::unordered_map<uintptr_t, std::shared_ptr<DrawDibContext>> live_;
};

// Never destroyed: handles may still be closed while the process exits.
Registry& registry() {
  static auto* instance = new Registry;
  return *instance;
}

// Decompresses a planar frame for DrawDibGetBuffer; other pictures leave
// nothing to hand out.
bool drawIntoMemory(DrawDibContext& ctx, const DibPicture& pic) {
  ctx.picture = QImage();
  ctx.last = LastFrame::None;
  if (pic.kind != DibKind::Planar420) return true;
  pl::drawdib::planarToRgb24(pic, ctx.rgb24);
  ctx.rgbWidth = pic.width;
  ctx.rgbHeight = pic.height;
  ctx.last = LastFrame::Rgb24;
  return true;
}

bool drawIntoWindow(DrawDibContext& ctx, HWND hwnd, const DibPicture& pic, const QRect& source, QRect dest) {
  ctx.last = LastFrame::None;
  ctx.picture = QImage();  // lets the previous frame be reused once its window let go
  QImage shown;
  if (pic.kind == DibKind::Planar420) {
    // The whole frame is decompressed (it is what DrawDibGetBuffer returns);
    // a partial source is cut from it.
    QImage frame = pl::drawdib::planarToImage(pic, ctx.takeReusable(pic.width, pic.height));
    if (frame.isNull()) return false;
    ctx.remember(frame);
    shown = source == frame.rect() ? frame : frame.copy(source);
    ctx.picture = std::move(frame);
    ctx.last = LastFrame::InPicture;
  } else {
    shown = pl::drawdib::rgbToImage(pic, source, ctx.takeReusable(source.width(), source.height()));
    ctx.remember(shown);
  }
  if (shown.isNull()) return false;
  if (dest.width() == -1) dest.setWidth(source.width());
  if (dest.height() == -1) dest.setHeight(source.height());
  if (dest.isEmpty()) return true;  // nothing of the window is covered
  return pl::detail::showPicture(hwnd, dest, std::move(shown));
}

BOOL draw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
          const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc) {
  const auto ctx = registry().find(hdd);
  if (!ctx) return FALSE;
  pl::detail::DcTarget target;
  if (!pl::detail::dcTarget(hdc, &target) || (!target.memory && target.hwnd == 0)) return FALSE;
  const auto pic = pl::drawdib::describeDib(header, bits);
  if (!pic) return FALSE;
  const QRect source = pl::drawdib::clipSource(*pic, xSrc, ySrc, dxSrc, dySrc);
  if (source.isEmpty()) return FALSE;
  const auto sane = [](int v) { return v >= -kMaxCoordinate && v <= kMaxCoordinate; };
  if (!sane(xDst) || !sane(yDst) || dxDst < -1 || dyDst < -1 || !sane(dxDst) || !sane(dyDst)) return FALSE;

  std::lock_guard lock(ctx->mutex);
  if (target.memory) return drawIntoMemory(*ctx, *pic) ? TRUE : FALSE;
  return drawIntoWindow(*ctx, target.hwnd, *pic, source, QRect(xDst, yDst, dxDst, dyDst)) ? TRUE : FALSE;
}

void* getBuffer(HDRAWDIB hdd, BITMAPINFOHEADER* header, DWORD headerSize) {
  const auto ctx = registry().find(hdd);
  if (!ctx || header == nullptr || headerSize < sizeof(BITMAPINFOHEADER)) return nullptr;
  std::lock_guard lock(ctx->mutex);
  if (ctx->last == LastFrame::InPicture) {
    pl::drawdib::imageToRgb24(ctx->picture, ctx->rgb24);
    ctx->rgbWidth = ctx->picture.width();
    ctx->rgbHeight = ctx->picture.height();
    ctx->last = LastFrame::Rgb24;
  }
  if (ctx->last != LastFrame::Rgb24) return nullptr;
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(BITMAPINFOHEADER);
  info.biWidth = ctx->rgbWidth;
  info.biHeight = ctx->rgbHeight;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(ctx->rgb24.size());
  std::memcpy(header, &info, sizeof info);
  return ctx->rgb24.data();
}

}  // namespace

PL_BEGIN_C

HDRAWDIB DrawDibOpen(void) {
  try {
    return registry().add(std::make_shared<DrawDibContext>());
  } catch (...) { return nullptr; }
}

BOOL DrawDibClose(HDRAWDIB hdd) {
  try {
    return registry().remove(hdd) ? TRUE : FALSE;
  } catch (...) { return FALSE; }
}

BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT /*flags*/) {
  try {
    return draw(hdd, hdc, xDst, yDst, dxDst, dyDst, header, bits, xSrc, ySrc, dxSrc, dySrc);
  } catch (...) { return FALSE; }
}

void* DrawDibGetBuffer(HDRAWDIB hdd, BITMAPINFOHEADER* header, DWORD headerSize, DWORD /*flags*/) {
  try {
    return getBuffer(hdd, header, headerSize);
  } catch (...) { return nullptr; }
}

PL_END_C
