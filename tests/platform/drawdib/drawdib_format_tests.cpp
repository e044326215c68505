// Decompression into memory contexts, the get-buffer, and refusal of
// pictures, handles and contexts the engine cannot use.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>
#include <tuple>
#include <vector>

#include "drawdib_support.h"

namespace {

BOOL drawWhole(HDRAWDIB hdd, HDC dc, const TestDib& dib) {
  return DrawDibDraw(hdd, dc, 0, 0, dib.header.biWidth, std::abs(dib.header.biHeight), &dib.header, dib.bits.data(), 0,
                     0, -1, -1, 0);
}

// The get-buffer as a vector, with its header checked for a 24-bit DIB.
std::vector<uint8_t> getBuffer24(HDRAWDIB hdd, int width, int height) {
  BITMAPINFOHEADER h{};
  const auto* p = static_cast<const uint8_t*>(DrawDibGetBuffer(hdd, &h, sizeof h, 0));
  if (p == nullptr) {
    ADD_FAILURE() << "no get-buffer";
    return {};
  }
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  EXPECT_EQ(std::tie(h.biSize, h.biWidth, h.biHeight, h.biPlanes, h.biBitCount, h.biCompression, h.biSizeImage),
            std::make_tuple(DWORD{40}, LONG{width}, LONG{height}, WORD{1}, WORD{24}, DWORD{BI_RGB}, stride * height));
  return std::vector<uint8_t>(p, p + h.biSizeImage);
}

TEST_F(DrawDibTest, PlanarFramesDecompressIntoMemoryExactlyAsLibyuv) {
  struct Case {
    int width, height;
    DWORD fourcc;
  };
  for (const Case c : {Case{640, 480, FOURCC_I420}, Case{640, 480, FOURCC_IYUV}, Case{160, 124, FOURCC_I420},
                       Case{161, 121, FOURCC_IYUV}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << std::hex << c.fourcc);
    const TestDib dib = patternPlanar(c.width, c.height, c.fourcc);
    ASSERT_TRUE(drawWhole(hdd, memoryDc, dib));
    EXPECT_EQ(getBuffer24(hdd, c.width, c.height), referenceRgb24(dib));
  }
}

TEST_F(DrawDibTest, GetBufferAfterWindowDrawingOfPlanarFrameIsTheWholeFrame) {
  const TestDib dib = patternPlanar(320, 240, FOURCC_I420);
  // Only a part of the frame is shown, stretched; the buffer still holds it all.
  ASSERT_TRUE(DrawDibDraw(hdd, windowDc, 0, 0, 153, 105, &dib.header, dib.bits.data(), 10, 20, 100, 50, 0));
  EXPECT_EQ(getBuffer24(hdd, 320, 240), referenceRgb24(dib));
  // Asking twice gives the same picture.
  EXPECT_EQ(getBuffer24(hdd, 320, 240), referenceRgb24(dib));
}

TEST_F(DrawDibTest, GetBufferIsEmptyWithoutDecompression) {
  BITMAPINFOHEADER h{};
  EXPECT_EQ(DrawDibGetBuffer(hdd, &h, sizeof h, 0), nullptr) << "nothing drawn yet";

  const TestDib planar = patternPlanar(64, 48, FOURCC_I420);
  const TestDib rgb = twoColourRgb(64, 48, 24, Qt::red, Qt::blue, false);
  for (HDC dc : {memoryDc, windowDc}) {
    ASSERT_TRUE(drawWhole(hdd, memoryDc, planar));
    ASSERT_TRUE(drawWhole(hdd, dc, rgb));
    EXPECT_EQ(DrawDibGetBuffer(hdd, &h, sizeof h, 0), nullptr) << "an RGB picture replaced the frame";
  }
  ASSERT_TRUE(drawWhole(hdd, memoryDc, planar));
  EXPECT_EQ(DrawDibGetBuffer(hdd, &h, 39, 0), nullptr) << "header too small";
  EXPECT_EQ(DrawDibGetBuffer(hdd, nullptr, 40, 0), nullptr);
}

TEST_F(DrawDibTest, RefusesHeadersItCannotDraw) {
  const TestDib good = twoColourRgb(32, 16, 24, Qt::red, Qt::blue, false);
  const TestDib goodPlanar = patternPlanar(32, 16, FOURCC_I420);
  struct Case {
    const char* what;
    const TestDib& base;
    void (*spoil)(BITMAPINFOHEADER&);
    bool unsized = false;  // image size 0: the engine computes it from the spoilt dimensions
  };
  const Case cases[] = {
      {"short header", good, [](BITMAPINFOHEADER& h) { h.biSize = 12; }},
      {"zero width", good, [](BITMAPINFOHEADER& h) { h.biWidth = 0; }},
      {"negative width", good, [](BITMAPINFOHEADER& h) { h.biWidth = -32; }},
      {"zero height", good, [](BITMAPINFOHEADER& h) { h.biHeight = 0; }},
      {"huge height", good, [](BITMAPINFOHEADER& h) { h.biHeight = 1 << 20; }, true},
      {"most negative height", good, [](BITMAPINFOHEADER& h) { h.biHeight = std::numeric_limits<LONG>::min(); }, true},
      {"huge width", good, [](BITMAPINFOHEADER& h) { h.biWidth = 100000; }, true},
      {"8 bits", good, [](BITMAPINFOHEADER& h) { h.biBitCount = 8; }},
      {"16 bits", good, [](BITMAPINFOHEADER& h) { h.biBitCount = 16; }},
      {"bit fields", good, [](BITMAPINFOHEADER& h) { h.biCompression = BI_BITFIELDS; }},
      {"unknown fourcc", goodPlanar, [](BITMAPINFOHEADER& h) { h.biCompression = PL_FOURCC('Y', 'U', 'Y', '2'); }},
      {"planar bit count", goodPlanar, [](BITMAPINFOHEADER& h) { h.biBitCount = 24; }},
      {"short rgb image size", good, [](BITMAPINFOHEADER& h) { h.biSizeImage -= 1; }},
      {"short planar image size", goodPlanar, [](BITMAPINFOHEADER& h) { h.biSizeImage -= 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BITMAPINFOHEADER h = c.base.header;
    c.spoil(h);
    if (c.unsized) h.biSizeImage = 0;
    for (HDC dc : {memoryDc, windowDc})
      EXPECT_FALSE(DrawDibDraw(hdd, dc, 0, 0, 32, 16, &h, c.base.bits.data(), 0, 0, -1, -1, 0));
  }
  EXPECT_FALSE(DrawDibDraw(hdd, windowDc, 0, 0, 32, 16, nullptr, good.bits.data(), 0, 0, -1, -1, 0));
  EXPECT_FALSE(DrawDibDraw(hdd, windowDc, 0, 0, 32, 16, &good.header, nullptr, 0, 0, -1, -1, 0));
  // Source rectangles that select nothing, destinations that make no sense.
  EXPECT_FALSE(DrawDibDraw(hdd, windowDc, 0, 0, 32, 16, &good.header, good.bits.data(), 40, 0, -1, -1, 0));
  EXPECT_FALSE(DrawDibDraw(hdd, windowDc, 0, 0, 32, 16, &good.header, good.bits.data(), 0, 0, 0, 5, 0));
  EXPECT_FALSE(DrawDibDraw(hdd, windowDc, 0, 0, -5, 16, &good.header, good.bits.data(), 0, 0, -1, -1, 0));
  EXPECT_FALSE(DrawDibDraw(hdd, windowDc, std::numeric_limits<int>::max(), 0, 32, 16, &good.header, good.bits.data(), 0,
                           0, -1, -1, 0));
  // A source reaching past the picture is clipped, not refused.
  EXPECT_TRUE(DrawDibDraw(hdd, windowDc, 0, 0, -1, -1, &good.header, good.bits.data(), -8, 4, 1000, 1000, 0));
}

TEST_F(DrawDibTest, StaleOrUnknownHandlesAndContextsFailQuietly) {
  const TestDib dib = patternPlanar(32, 16, FOURCC_I420);
  BITMAPINFOHEADER h{};

  EXPECT_FALSE(DrawDibClose(nullptr));
  EXPECT_FALSE(drawWhole(nullptr, windowDc, dib));
  EXPECT_EQ(DrawDibGetBuffer(nullptr, &h, sizeof h, 0), nullptr);

  int notAHandle = 0;
  auto* madeUp = reinterpret_cast<HDRAWDIB>(&notAHandle);
  EXPECT_FALSE(DrawDibClose(madeUp));
  EXPECT_FALSE(drawWhole(madeUp, windowDc, dib));

  HDRAWDIB closed = DrawDibOpen();
  ASSERT_TRUE(drawWhole(closed, memoryDc, dib));
  ASSERT_TRUE(DrawDibClose(closed));
  EXPECT_FALSE(DrawDibClose(closed));
  EXPECT_FALSE(drawWhole(closed, memoryDc, dib));
  EXPECT_EQ(DrawDibGetBuffer(closed, &h, sizeof h, 0), nullptr);
  HDRAWDIB next = DrawDibOpen();
  EXPECT_NE(next, closed) << "handles are never reused";
  EXPECT_TRUE(DrawDibClose(next));

  EXPECT_FALSE(drawWhole(hdd, 0, dib));
  EXPECT_FALSE(drawWhole(hdd, 0x7fff1234u, dib));
  HDC deleted = CreateCompatibleDC(windowDc);
  ASSERT_TRUE(DeleteDC(deleted));
  EXPECT_FALSE(drawWhole(hdd, deleted, dib));
}

TEST_F(DrawDibTest, ClosingWhileOtherThreadsDrawIsSafe) {
  const TestDib dib = patternPlanar(160, 124, FOURCC_I420);
  HDRAWDIB shared = DrawDibOpen();
  std::atomic<bool> closed{false};
  std::atomic<int> drawnAfterClose{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        const bool wasClosed = closed.load();
        if (drawWhole(shared, memoryDc, dib) && wasClosed) ++drawnAfterClose;
        BITMAPINFOHEADER h{};
        DrawDibGetBuffer(shared, &h, sizeof h, 0);
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(DrawDibClose(shared));
  closed = true;
  for (auto& w : workers) w.join();
  EXPECT_EQ(drawnAfterClose, 0);
}

}  // namespace
