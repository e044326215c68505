// Display slots on real widgets: refusals, click handling of empty and
// filled slots, and pictures that come back after the window is repainted.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <climits>
#include <vector>

#include "platform/qt_bridge.h"
#include "platform/window.h"
#include "plenkit_fixture.h"
#include "testkit/screen.h"
#include "testkit/wait.h"

namespace {

class DisplayTest : public PlenkitTest {
 protected:
  void TearDown() override {
    for (int slot = 0; slot < 7; ++slot) api.BitDispWindReset(slot);
  }
};

QColor onScreen(QWidget* w, QPoint p) { return testkit::shownPixel(*w, p); }

// A white picture box on a shown top-level window.
struct Screen {
  Screen() {
    top.resize(400, 200);
    for (const auto& [box, x] : {std::pair{&left, 10}, {&right, 200}}) {
      box->setParent(&top);
      box->setGeometry(x, 10, 160, 120);
      box->setAutoFillBackground(true);
      box->setStyleSheet("background: white");
    }
    top.show();
  }
  // Hidden and shown again: what the boxes showed must be painted anew.
  bool reshow() {
    top.hide();
    pumpFor(20);
    top.show();
    return QTest::qWaitForWindowExposed(&top);
  }
  QWidget top;
  QLabel left, right;
};

// The centres of the four quarters of a 160 x 120 box as shown, top left first.
std::vector<QColor> quarters(QWidget* box) {
  return {onScreen(box, {40, 30}), onScreen(box, {120, 30}), onScreen(box, {40, 90}), onScreen(box, {120, 90})};
}
const std::vector<QColor> kQuarters{Qt::red, Qt::green, Qt::blue, Qt::yellow};  // quartersBmp24's

TEST_F(DisplayTest, SlotNumbersOutsideZeroToSixAreRefusedByEveryCall) {
  QLabel box;
  const HWND h = pl::hwndOf(&box);
  ASSERT_EQ(open(quartersBmp24(32, 24)), 0);
  const std::string file = dir.put("f.bmp", quartersBmp24(32, 24));
  for (const int slot : {7, -1, 100, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(api.BitDispWindSet(slot, h), 1);
    EXPECT_EQ(api.BitDispWindReset(slot), 1);
    EXPECT_EQ(api.BmpDisp(slot), 1);
    EXPECT_EQ(api.BmpFileDisp(slot, file.c_str()), 1);
    EXPECT_EQ(api.BmpDispReset(slot), 1);
    EXPECT_EQ(api.BmpDispCopy(slot, 0), 1);
    EXPECT_EQ(api.BmpDispCopy(0, slot), 1);
  }
  EXPECT_EQ(GetWindowLongA(h, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(ToolkitWindowProc));
}

TEST_F(DisplayTest, DisplayCallsNeedARegisteredSlotAWindowAndAPicture) {
  QLabel first, second;
  const HWND a = pl::hwndOf(&first), b = pl::hwndOf(&second);
  ASSERT_EQ(open(quartersBmp24(32, 24)), 0);
  EXPECT_EQ(api.BmpDisp(3), 1) << "slot not in use";
  EXPECT_EQ(api.BitDispWindSet(3, 0), 1);
  EXPECT_EQ(api.BitDispWindSet(3, 0x7FFFFFF0u), 1) << "unknown handle";
  ASSERT_EQ(api.BitDispWindSet(3, a), 0);
  EXPECT_EQ(api.BitDispWindSet(3, b), 1) << "second registration";
  EXPECT_EQ(GetWindowLongA(b, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(ToolkitWindowProc));
  EXPECT_EQ(api.BitDispWindSet(4, a), 1) << "one window, one slot";
  EXPECT_EQ(api.BmpDispCopy(3, 3), 1) << "empty source";
  EXPECT_EQ(api.BmpFileDisp(3, dir.file("missing.bmp").c_str()), 1);
  EXPECT_EQ(api.BmpDisp(3), 0);
  EXPECT_EQ(api.BmpDispCopy(3, 5), 1) << "destination not in use";
  EXPECT_EQ(api.BmpDispCopy(3, 3), 0);
  api.BitMapClose();
  EXPECT_EQ(api.BmpDisp(3), 1) << "no image";
  EXPECT_EQ(api.BmpDispReset(3), 0);
  EXPECT_EQ(api.BmpDispCopy(3, 3), 1) << "emptied";
  EXPECT_EQ(api.BitDispWindReset(3), 0);
  EXPECT_EQ(api.BitDispWindReset(3), 0) << "a free slot";
  EXPECT_EQ(GetWindowLongA(a, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(ToolkitWindowProc));
}

TEST_F(DisplayTest, AnEmptySlotSwallowsClicksAFilledOnePassesThemOn) {
  QPushButton button("Command1");
  button.resize(80, 30);
  button.show();
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  const HWND h = pl::hwndOf(&button);
  // The button's clicks so far after one more click message.
  const auto clicksAfterOneMore = [&] {
    EXPECT_EQ(api.ClickMessageSend(h), 0);
    pumpFor(60);
    return clicks;
  };
  ASSERT_EQ(api.BitDispWindSet(2, h), 0);
  EXPECT_EQ(clicksAfterOneMore(), 0) << "empty slot";

  ASSERT_EQ(open(quartersBmp24(32, 24)), 0);
  ASSERT_EQ(api.BmpDisp(2), 0);
  EXPECT_EQ(clicksAfterOneMore(), 1) << "filled slot";

  ASSERT_EQ(api.BmpDispReset(2), 0);
  EXPECT_EQ(clicksAfterOneMore(), 1) << "emptied slot";

  ASSERT_EQ(api.BitDispWindReset(2), 0);
  EXPECT_EQ(clicksAfterOneMore(), 2) << "own procedure back";
  EXPECT_EQ(api.ClickMessageSend(0x7FFFFFF0u), 0);
}

TEST_F(DisplayTest, SlotPicturesComeBackAfterTheWindowIsHiddenAndShown) {
  Screen screen;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen.top));
  const HWND left = pl::hwndOf(&screen.left), right = pl::hwndOf(&screen.right);
  ASSERT_EQ(api.BitDispWindSet(0, left), 0);
  ASSERT_EQ(api.BitDispWindSet(6, right), 0);
  ASSERT_EQ(open(quartersBmp24(64, 48)), 0);
  ASSERT_EQ(api.BmpDisp(0), 0);
  ASSERT_EQ(api.BmpDispCopy(0, 6), 0);
  // The slots keep their own copies: the image may go.
  api.BitMapClose();
  pumpFor(50);
  EXPECT_EQ(quarters(&screen.left), kQuarters);
  EXPECT_EQ(quarters(&screen.right), kQuarters);

  ASSERT_TRUE(screen.reshow());
  waitUntil([&] { return quarters(&screen.left) == kQuarters && quarters(&screen.right) == kQuarters; });
  EXPECT_EQ(quarters(&screen.left), kQuarters);
  EXPECT_EQ(quarters(&screen.right), kQuarters);

  // An emptied slot lets the next repaint clear its picture.
  ASSERT_EQ(api.BmpDispReset(6), 0);
  ASSERT_TRUE(screen.reshow());
  waitUntil([&] { return quarters(&screen.left) == kQuarters && onScreen(&screen.right, {80, 60}) == Qt::white; });
  EXPECT_EQ(quarters(&screen.left), kQuarters);
  EXPECT_EQ(onScreen(&screen.right, {80, 60}), QColor(Qt::white));
}

TEST_F(DisplayTest, AFileIsShownAsStoredPlanarFramesIncluded) {
  Screen screen;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen.top));
  ASSERT_EQ(api.BitDispWindSet(1, pl::hwndOf(&screen.left)), 0);
  ASSERT_EQ(open(quartersBmp24(16, 16)), 0);
  const Bytes image = held();

  // Mid grey in YUV (128, 128, 128) decodes to (130, 130, 130) in BT.601.
  const Bytes grey = makePlanarFrame(
      320, 240, FOURCC_I420, [](int, int) { return uint8_t{128}; }, 128, 128);
  ASSERT_EQ(api.BmpFileDisp(1, dir.put("selvane.bmp", grey).c_str()), 0);
  pumpFor(50);
  const QColor shown = onScreen(&screen.left, {80, 60});
  EXPECT_NEAR(shown.red(), 130, 2);
  EXPECT_EQ(shown.red(), shown.green());
  EXPECT_EQ(shown.green(), shown.blue());
  EXPECT_EQ(held(), image) << "the image buffer is not touched";
  EXPECT_EQ(api.BmpFileDisp(1, dir.put("bad.bmp", Bytes{'B', 'M', 0, 0}).c_str()), 1);
}

}  // namespace
