// The renderer: live frames drawn over the owner window, and no drawing once
// the owner is taken away or the window hidden.
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "capture_test_support.h"
#include "platform/qt_bridge.h"
#include "testkit/screen.h"
#include "testkit/wait.h"

namespace {

using testkit::shownWindow;

bool isWhite(QColor c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; }
bool isBlack(QColor c) { return c.red() < 40 && c.green() < 40 && c.blue() < 40; }

class RendererTest : public CaptureTest {
 protected:
  void SetUp() override {
    owner_.setAutoFillBackground(true);
    QPalette p = owner_.palette();
    p.setColor(QPalette::Window, Qt::white);
    owner_.setPalette(p);
    owner_.resize(320, 240);
    owner_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner_));
    hwnd_ = pl::hwndOf(&owner_);
    useCameras({{nullptr, caps_, 5, 30, 0}});
  }
  // The picture has arrived when the counter strip's first block, black for
  // any frame number below 2^31, covers the top-left corner, and the test
  // pattern the middle.
  bool pictureShown(int x = 2, int y = 2) {
    return waitUntil([&] {
      const QImage img = shownWindow(owner_);
      return img.size() == owner_.size() && isBlack(img.pixelColor(x, y)) && !isWhite(img.pixelColor(240, 150));
    });
  }
  bool showsBackground() {
    const QImage img = shownWindow(owner_);
    return img.size() == owner_.size() && isWhite(img.pixelColor(2, 2)) && isWhite(img.pixelColor(240, 150));
  }
  bool backgroundShown() {
    return waitUntil([&] { return showsBackground(); });
  }
  // A system repaint clears the pictures: repainted until the pictures on
  // their way have arrived and one repaint after them has.
  bool repaintedToBackground() {
    return waitUntil([&] {
      owner_.resize(321, 240);
      owner_.resize(320, 240);
      return showsBackground();
    });
  }

  static constexpr CG_VCAM_CAP caps_[] = {{640, 480, FOURCC_I420, 12},
                                          {640, 480, BI_RGB, 24},
                                          {640, 480, PL_FOURCC('Y', 'U', 'Y', '2'), 16},
                                          {320, 240, FOURCC_IYUV, 12},
                                          {160, 120, FOURCC_I420, 12}};
  QWidget owner_;
  HWND hwnd_ = 0;
};

TEST_F(RendererTest, LiveFramesAreDrawnRightSideUpOverTheOwner) {
  // YUY2 is not drawable as it is: the renderer's branch converts it.
  for (const DWORD compression : {FOURCC_I420, BI_RGB, PL_FOURCC('Y', 'U', 'Y', '2')}) {
    SCOPED_TRACE(compression);
    CaptureGraph g(0);
    ASSERT_TRUE(selectAndRender(g, 640, 480, compression));
    ASSERT_EQ(cg_VideoWindowSetOwner(g.graph, hwnd_), S_OK);
    ASSERT_EQ(cg_VideoWindowSetStyle(g.graph, WS_CHILD | WS_CLIPSIBLINGS), S_OK);
    ASSERT_EQ(cg_VideoWindowSetPosition(g.graph, 0, 0, 320, 240), S_OK);
    ASSERT_EQ(g.run(), S_OK);
    EXPECT_TRUE(pictureShown());
    // The grabber is served alongside.
    EXPECT_TRUE(g.log.waitFor(3, 3000));
    cg_GraphStop(g.graph);
    ASSERT_TRUE(repaintedToBackground());
  }
}

TEST_F(RendererTest, DrawingEndsWhenTheWindowIsHiddenOrLosesItsOwner) {
  CaptureGraph g(0);
  ASSERT_TRUE(g.select(320, 240, FOURCC_IYUV));
  ASSERT_EQ(g.render(false), S_OK);
  ASSERT_EQ(cg_VideoWindowSetOwner(g.graph, hwnd_), S_OK);
  ASSERT_EQ(cg_VideoWindowSetPosition(g.graph, 0, 0, 320, 240), S_OK);
  ASSERT_EQ(g.run(), S_OK);
  ASSERT_TRUE(pictureShown());

  ASSERT_EQ(cg_VideoWindowSetVisible(g.graph, FALSE), S_OK);
  ASSERT_TRUE(repaintedToBackground());
  pumpFor(300);
  EXPECT_TRUE(backgroundShown());

  ASSERT_EQ(cg_VideoWindowSetVisible(g.graph, TRUE), S_OK);
  EXPECT_TRUE(pictureShown());

  ASSERT_EQ(cg_VideoWindowSetOwner(g.graph, 0), S_OK);
  ASSERT_TRUE(repaintedToBackground());
  pumpFor(300);
  EXPECT_TRUE(backgroundShown());
  EXPECT_EQ(g.state(), CG_RUNNING);  // frames still flow, to nowhere
}

TEST_F(RendererTest, PositionPlacesThePictureAndUnknownOwnersAreRefused) {
  CaptureGraph g(0);
  ASSERT_TRUE(g.select(160, 120, FOURCC_I420));
  ASSERT_EQ(g.render(false), S_OK);
  EXPECT_EQ(cg_VideoWindowSetOwner(g.graph, 0x7FFFFFF0u), E_INVALIDARG);
  ASSERT_EQ(cg_VideoWindowSetOwner(g.graph, hwnd_), S_OK);
  // The right half only: the left half keeps the background.
  ASSERT_EQ(cg_VideoWindowSetPosition(g.graph, 160, 0, 160, 240), S_OK);
  ASSERT_EQ(g.run(), S_OK);
  EXPECT_TRUE(pictureShown(162, 2));
  EXPECT_TRUE(isWhite(shownWindow(owner_).pixelColor(80, 120)));
}

}  // namespace
