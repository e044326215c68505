// Window procedures, posted input and the repaint pattern of display windows.
#include <gtest/gtest.h>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "platform/qt_bridge.h"
#include "platform/window.h"
#include "testkit/screen.h"
#include "testkit/wait.h"
#include "window/window_internal.h"

namespace {

// State reached through GWL_USERDATA by the procedures below.
struct Hook {
  WNDPROC saved = nullptr;
  bool passOn = true;
  int downs = 0;
  int paints = 0;
  int repaints = 0;
  QImage picture;
};

Hook* hookOf(HWND hwnd) { return reinterpret_cast<Hook*>(GetWindowLongA(hwnd, GWL_USERDATA)); }

LRESULT filteringProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Hook* hook = hookOf(hwnd);
  if (msg == WM_LBUTTONDOWN) ++hook->downs;
  if (hook->passOn) return CallWindowProcA(hook->saved, hwnd, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void install(HWND hwnd, Hook* hook, WNDPROC proc) {
  SetWindowLongA(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(hook));
  hook->saved = reinterpret_cast<WNDPROC>(SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

void postClick(HWND hwnd) {
  PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageA(hwnd, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(5, 5));
}

// A button that counts its clicks.
struct CountingButton : QPushButton {
  explicit CountingButton(const char* text) : QPushButton(QString::fromUtf8(text)) {
    resize(60, 30);
    connect(this, &QPushButton::clicked, [this] { ++clicks; });
  }
  HWND hwnd() { return pl::hwndOf(this); }
  int clicks = 0;
};

TEST(PostedInput, ADownUpPairClicksAButtonExactlyOnce) {
  CountingButton button("開始");
  EXPECT_EQ(GetWindowLongA(button.hwnd(), GWL_WNDPROC), reinterpret_cast<LONG_PTR>(ToolkitWindowProc));
  postClick(button.hwnd());
  ASSERT_TRUE(waitUntil([&] { return button.clicks > 0; }));
  pumpFor(30);
  EXPECT_EQ(button.clicks, 1);
}

TEST(Procedures, DefaultProcedureSwallowsInputAndPassingOnRestoresIt) {
  CountingButton button("停止");
  button.show();
  const HWND h = button.hwnd();
  Hook hook;
  install(h, &hook, filteringProc);
  EXPECT_EQ(hook.saved, ToolkitWindowProc);

  hook.passOn = false;
  postClick(h);
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));  // real input too
  pumpFor(50);
  EXPECT_EQ(button.clicks, 0);
  EXPECT_EQ(hook.downs, 2);

  hook.passOn = true;
  postClick(h);
  ASSERT_TRUE(waitUntil([&] { return button.clicks == 1; }));
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(button.clicks, 2);
  EXPECT_EQ(hook.downs, 4);

  // Putting the saved procedure back ends the filtering.
  SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(hook.saved));
  postClick(h);
  ASSERT_TRUE(waitUntil([&] { return button.clicks == 3; }));
  EXPECT_EQ(hook.downs, 4);
}

TEST(Procedures, SendMessageGoesThroughTheProcedureChain) {
  CountingButton button("x");
  const HWND h = button.hwnd();
  Hook hook;
  install(h, &hook, filteringProc);
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(button.clicks, 1);
  EXPECT_EQ(hook.downs, 1);
  // Text messages still reach the toolkit through a subclassing procedure.
  SetWindowTextA(h, "戻る");
  EXPECT_EQ(button.text(), "戻る");
}

constexpr UINT kRepaint = 3246;

// The display-window pattern: on a system repaint, post a private message to
// yourself and let the window paint; on that message, draw the picture.
LRESULT slotProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Hook* hook = hookOf(hwnd);
  if (msg == WM_PAINT) {
    ++hook->paints;
    PostMessageA(hwnd, kRepaint, 0, 0);
    return CallWindowProcA(hook->saved, hwnd, msg, wParam, lParam);
  }
  if (msg == kRepaint) {
    ++hook->repaints;
    RECT r;
    GetClientRect(hwnd, &r);
    pl::detail::showPicture(hwnd, QRect(r.left, r.top, r.right, r.bottom), hook->picture);
    return 0;
  }
  return CallWindowProcA(hook->saved, hwnd, msg, wParam, lParam);
}

// A label with a white background in a top-level window, where pictures
// are shown and looked at on screen.
class Repaint : public ::testing::Test {
 protected:
  Repaint() {
    top.resize(300, 200);
    box->setGeometry(10, 10, 153, 105);
    box->setAutoFillBackground(true);
    box->setStyleSheet("background: white");
  }
  bool showTop() {
    top.show();
    return QTest::qWaitForWindowExposed(&top);
  }
  QColor onScreen(QPoint p) const { return testkit::shownPixel(*box, p); }

  QWidget top;
  QLabel* box = new QLabel(&top);
  const HWND h = pl::hwndOf(box);
};

TEST_F(Repaint, SlotPatternKeepsItsPictureAcrossHideShowAndResizeWithoutLooping) {
  Hook hook;
  hook.picture = QImage(64, 48, QImage::Format_RGB32);
  hook.picture.fill(QColor(0, 0, 255));
  install(h, &hook, slotProc);

  ASSERT_TRUE(showTop());
  ASSERT_TRUE(waitUntil([&] { return hook.repaints > 0; }));
  pumpFor(100);
  EXPECT_EQ(onScreen({70, 50}), QColor(0, 0, 255));

  // Drawing never raises WM_PAINT, so nothing keeps repainting.
  const int paints = hook.paints;
  pumpFor(200);
  EXPECT_EQ(hook.paints, paints);

  top.hide();
  pumpFor(20);
  ASSERT_TRUE(showTop());
  ASSERT_TRUE(waitUntil([&] { return hook.paints > paints; }));
  pumpFor(100);
  EXPECT_EQ(onScreen({70, 50}), QColor(0, 0, 255));

  box->resize(200, 150);
  pumpFor(100);
  EXPECT_EQ(onScreen({190, 140}), QColor(0, 0, 255));  // stretched to the new size
  const int settled = hook.paints;
  pumpFor(200);
  EXPECT_EQ(hook.paints, settled);
}

TEST_F(Repaint, ASystemRepaintRemovesAPictureNobodyRedraws) {
  ASSERT_TRUE(showTop());
  QImage red(10, 10, QImage::Format_RGB32);
  red.fill(Qt::red);
  pl::detail::showPicture(h, QRect(0, 0, 100, 100), red);
  pumpFor(50);
  EXPECT_EQ(onScreen({50, 50}), QColor(Qt::red));
  EXPECT_EQ(box->grab().toImage().pixelColor(50, 50), QColor(Qt::red));  // a grab is no repaint
  pumpFor(20);
  EXPECT_EQ(onScreen({50, 50}), QColor(Qt::red));
  top.hide();
  ASSERT_TRUE(showTop());
  pumpFor(50);
  EXPECT_EQ(onScreen({50, 50}), QColor(Qt::white));
}

TEST_F(Repaint, PicturesFromAWorkerThreadAppearWithoutBlockingIt) {
  ASSERT_TRUE(showTop());
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    QImage green(4, 4, QImage::Format_RGB32);
    green.fill(Qt::green);
    pl::detail::showPicture(h, QRect(0, 0, 100, 100), green);
    returned = true;
  });
  worker.join();  // returns although the UI thread is not pumping
  EXPECT_TRUE(returned);
  pumpFor(50);
  EXPECT_EQ(onScreen({50, 50}), QColor(Qt::green));
}

}  // namespace
