// Pictures drawn into windows: orientation, colours, stretching, partial
// sources, drawing from other threads, and no paint messages.
#include <QCoreApplication>
#include <QImage>
#include <chrono>
#include <future>

#include "drawdib_support.h"
#include "testkit/screen.h"

namespace {

// What the window shows once pending drawings have reached it.
QImage shown(QWidget& window) {
  QCoreApplication::processEvents();
  return testkit::shownWindow(window);
}

testing::AssertionResult near(QColor actual, QColor expected, int tolerance = 2) {
  if (std::abs(actual.red() - expected.red()) <= tolerance &&
      std::abs(actual.green() - expected.green()) <= tolerance &&
      std::abs(actual.blue() - expected.blue()) <= tolerance)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got " << actual.name().toStdString() << ", expected "
                                     << expected.name().toStdString();
}

// Colours a quarter of the way down and three quarters down the middle column.
void expectTopBottom(const QImage& image, QColor top, QColor bottom) {
  ASSERT_FALSE(image.isNull());
  const int x = image.width() / 2;
  EXPECT_TRUE(near(image.pixelColor(x, image.height() / 4), top)) << "top";
  EXPECT_TRUE(near(image.pixelColor(x, image.height() * 3 / 4), bottom)) << "bottom";
}

BOOL drawOverClient(HDRAWDIB hdd, HDC dc, const TestDib& dib) {
  return DrawDibDraw(hdd, dc, 0, 0, 153, 105, &dib.header, dib.bits.data(), 0, 0, -1, -1, 0);
}

TEST_F(DrawDibTest, RgbPicturesLandRightSideUpStretchedOverTheWindow) {
  struct Case {
    int bitCount;
    bool topDown;
  };
  for (const Case c : {Case{24, false}, Case{24, true}, Case{32, false}, Case{32, true}}) {
    SCOPED_TRACE(testing::Message() << c.bitCount << (c.topDown ? " top-down" : " bottom-up"));
    // Odd width so 24-bit rows carry padding; the colours swapped the second
    // time so each case proves its own drawing arrived.
    const QColor red(200, 30, 40), blue(20, 60, 220);
    for (const auto& [top, bottom] : {std::pair{red, blue}, std::pair{blue, red}}) {
      ASSERT_TRUE(drawOverClient(hdd, windowDc, twoColourRgb(37, 20, c.bitCount, top, bottom, c.topDown)));
      expectTopBottom(shown(window), top, bottom);
    }
  }
}

TEST_F(DrawDibTest, PlanarFrameShowsLibyuvColours) {
  const TestDib dib = uniformPlanar(640, 480, 120, 90, 200);
  ASSERT_TRUE(drawOverClient(hdd, windowDc, dib));
  const QColor expected = referenceColour(120, 90, 200);
  expectTopBottom(shown(window), expected, expected);
}

TEST_F(DrawDibTest, PartialSourceAndDestinationRectangles) {
  const TestDib dib = twoColourRgb(40, 40, 24, Qt::red, Qt::blue, false);
  // Only the top half of the picture, over the whole window.
  ASSERT_TRUE(DrawDibDraw(hdd, windowDc, 0, 0, 153, 105, &dib.header, dib.bits.data(), 0, 0, 40, 20, 0));
  expectTopBottom(shown(window), Qt::red, Qt::red);
  // Only the bottom half, into the bottom half of the window; the earlier
  // picture stays above it.
  ASSERT_TRUE(DrawDibDraw(hdd, windowDc, 0, 53, 153, 52, &dib.header, dib.bits.data(), 0, 20, -1, -1, 0));
  expectTopBottom(shown(window), Qt::red, Qt::blue);
}

TEST_F(DrawDibTest, DrawingFromAWorkerThreadNeverWaitsForTheUiThread) {
  const TestDib dib = uniformPlanar(640, 480, 60, 200, 100);
  // The UI thread processes no events until the worker is done: a drawing
  // that waited for it would not finish in time.
  auto done = std::async(std::launch::async, [&] {
    const HDC dc = GetDC(hwnd);
    BOOL ok = TRUE;
    for (int i = 0; i < 20; ++i) ok = ok && drawOverClient(hdd, dc, dib);
    ReleaseDC(hwnd, dc);
    return ok;
  });
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(done.get());
  const QColor expected = referenceColour(60, 200, 100);
  expectTopBottom(shown(window), expected, expected);
}

int paintMessages = 0;
LRESULT countingProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_PAINT) ++paintMessages;
  return ToolkitWindowProc(h, msg, w, l);
}

TEST_F(DrawDibTest, DrawingRaisesNoPaintMessage) {
  shown(window);  // let the first system repaint pass
  const LONG_PTR previous = SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&countingProc));
  paintMessages = 0;
  const TestDib dib = patternPlanar(64, 48, FOURCC_IYUV);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(drawOverClient(hdd, windowDc, dib));
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(paintMessages, 0);
  SetWindowLongA(hwnd, GWL_WNDPROC, previous);
}

}  // namespace
