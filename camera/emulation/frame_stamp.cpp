#include "emulation/frame_stamp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace pl::capture {

namespace {

constexpr uint8_t kWhite = 235, kBlack = 16, kNeutral = 128;
constexpr int kGlyphW = 5, kGlyphH = 7;

// 5 x 7 glyphs, one byte per row, bit 4 the leftmost pixel.
struct Glyph {
  char c;
  uint8_t rows[kGlyphH];
};
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
};

const uint8_t* glyphRows(char c) {
  for (const Glyph& g : kFont)
    if (g.c == c) return g.rows;
  return nullptr;  // blank
}

// Fills a rectangle of the Y plane (clipped) and the chroma under it.
void fill(uint8_t* y, int ys, uint8_t* u, int us, uint8_t* v, int vs, int width, int height, int x0, int y0, int w,
          int h, uint8_t luma) {
  const int x1 = std::min(width, x0 + w), y1 = std::min(height, y0 + h);
  x0 = std::max(0, x0);
  y0 = std::max(0, y0);
  if (x0 >= x1 || y0 >= y1) return;
  for (int r = y0; r < y1; ++r) std::memset(y + static_cast<ptrdiff_t>(r) * ys + x0, luma, x1 - x0);
  for (int r = y0 / 2; r < (y1 + 1) / 2; ++r) {
    std::memset(u + static_cast<ptrdiff_t>(r) * us + x0 / 2, kNeutral, (x1 + 1) / 2 - x0 / 2);
    std::memset(v + static_cast<ptrdiff_t>(r) * vs + x0 / 2, kNeutral, (x1 + 1) / 2 - x0 / 2);
  }
}

}  // namespace

void stampPicture(uint8_t* y, int ys, uint8_t* u, int us, uint8_t* v, int vs, int width, int height, uint32_t frame,
                  const char* text) {
  const int perRow = std::max(1, width / kCounterBlock);
  for (int bit = 0; bit < kCounterBits; ++bit) {
    const bool one = (frame >> (kCounterBits - 1 - bit)) & 1u;
    fill(y, ys, u, us, v, vs, width, height, (bit % perRow) * kCounterBlock, (bit / perRow) * kCounterBlock,
         kCounterBlock, kCounterBlock, one ? kWhite : kBlack);
  }
  const int stripRows = (kCounterBits + perRow - 1) / perRow;
  const int scale = std::max(1, width / 160);
  const int len = static_cast<int>(std::strlen(text));
  const int x0 = 2 * scale, y0 = stripRows * kCounterBlock + 2 * scale;
  const int advance = (kGlyphW + 1) * scale;
  fill(y, ys, u, us, v, vs, width, height, x0 - scale, y0 - scale, len * advance + scale, (kGlyphH + 2) * scale,
       kBlack);
  for (int i = 0; i < len; ++i) {
    const uint8_t* rows = glyphRows(text[i]);
    if (!rows) continue;
    for (int gy = 0; gy < kGlyphH; ++gy)
      for (int gx = 0; gx < kGlyphW; ++gx)
        if (rows[gy] & (0x10 >> gx))
          fill(y, ys, u, us, v, vs, width, height, x0 + i * advance + gx * scale, y0 + gy * scale, scale, scale,
               kWhite);
  }
}

FrameStamp::FrameStamp(int width, int height, bool deliver) : deliver_(deliver) {
  gst_video_info_set_format(&info_, GST_VIDEO_FORMAT_I420, static_cast<guint>(width), static_cast<guint>(height));
}

GstPadProbeReturn FrameStamp::probe(GstPad*, GstPadProbeInfo* info, gpointer self) {
  return static_cast<FrameStamp*>(self)->onBuffer(info);
}

GstPadProbeReturn FrameStamp::onBuffer(GstPadProbeInfo* info) {
  if (!deliver_) return GST_PAD_PROBE_DROP;
  GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
  GST_PAD_PROBE_INFO_DATA(info) = buffer;
  const uint32_t frame = count_.fetch_add(1) + 1;

  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[48];
  std::snprintf(text, sizeof text, "%06u %02d:%02d:%02d.%03ld", frame % 1000000u, local.tm_hour, local.tm_min,
                local.tm_sec, now.tv_nsec / 1000000);

  GstVideoFrame f;
  if (!gst_video_frame_map(&f, &info_, buffer, GST_MAP_WRITE)) return GST_PAD_PROBE_OK;
  stampPicture(static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&f, 0)), GST_VIDEO_FRAME_PLANE_STRIDE(&f, 0),
               static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&f, 1)), GST_VIDEO_FRAME_PLANE_STRIDE(&f, 1),
               static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&f, 2)), GST_VIDEO_FRAME_PLANE_STRIDE(&f, 2),
               GST_VIDEO_INFO_WIDTH(&info_), GST_VIDEO_INFO_HEIGHT(&info_), frame, text);
  gst_video_frame_unmap(&f);
  return GST_PAD_PROBE_OK;
}

}  // namespace pl::capture
