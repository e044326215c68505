// Handles, texts, combo messages, posting and timers.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/qt_bridge.h"
#include "platform/window.h"
#include "testkit/wait.h"

namespace {

TEST(Handles, UnknownAndStaleHandlesFailQuietly) {
  HWND stale = 0;
  {
    QLabel label;
    stale = pl::hwndOf(&label);
    ASSERT_NE(stale, 0u);
    EXPECT_TRUE(IsWindow(stale));
  }
  char text[16] = "x";
  RECT rect{1, 2, 3, 4};
  for (HWND h : {HWND{0}, HWND{12345}, stale, HWND{0xFFFFFFFFu}}) {
    SCOPED_TRACE(h);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(SetWindowTextA(h, "a"));
    EXPECT_EQ(GetWindowTextA(h, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetWindowTextLengthA(h), 0);
    EXPECT_EQ(SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a")), 0);
    EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
    EXPECT_EQ(GetWindowLongA(h, GWL_WNDPROC), 0);
    EXPECT_EQ(SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA)), 0);
    EXPECT_EQ(CallWindowProcA(ToolkitWindowProc, h, WM_LBUTTONDOWN, 0, 0), 0);
    EXPECT_EQ(DefWindowProcA(h, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(SetTimer(h, 1, 10, nullptr), 0u);
    EXPECT_FALSE(KillTimer(h, 1));
    EXPECT_FALSE(GetClientRect(h, &rect));
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_EQ(GetDC(h), 0u);
    EXPECT_FALSE(DestroyWindow(h));
    EXPECT_EQ(pl_CreateChildWindow(h, nullptr, 0), 0u);
    EXPECT_EQ(pl::widgetOf(h), nullptr);
  }
  EXPECT_EQ(ReleaseDC(0, 777), 0);
  EXPECT_FALSE(DeleteDC(777));
  EXPECT_EQ(WindowFromDC(777), 0u);
}

TEST(Handles, AreNeverReusedAndStableForOneWidget) {
  QLabel a;
  const HWND first = pl::hwndOf(&a);
  EXPECT_EQ(pl::hwndOf(&a), first);
  EXPECT_EQ(pl::widgetOf(first), &a);
  std::vector<HWND> seen{first};
  for (int i = 0; i < 50; ++i) {
    QLabel temp;
    seen.push_back(pl::hwndOf(&temp));
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
  EXPECT_EQ(pl::hwndOf(nullptr), 0u);
}

TEST(Texts, JapaneseRoundTripsAndIsNeverCutInsideACharacter) {
  QLineEdit edit;
  QLabel label;
  QPushButton button;
  const char* japanese = "１号機 監視カメラ送信BMPファイル";
  for (QWidget* w : {static_cast<QWidget*>(&edit), static_cast<QWidget*>(&label), static_cast<QWidget*>(&button)}) {
    HWND h = pl::hwndOf(w);
    ASSERT_TRUE(SetWindowTextA(h, japanese));
    char buffer[128];
    EXPECT_EQ(GetWindowTextA(h, buffer, sizeof buffer), static_cast<int>(strlen(japanese)));
    EXPECT_STREQ(buffer, japanese);
    EXPECT_EQ(GetWindowTextLengthA(h), static_cast<int>(strlen(japanese)));
  }
  EXPECT_EQ(edit.text(), QString::fromUtf8(japanese));

  // "１号" is 6 bytes; a 5-byte buffer holds 4 bytes: only the first character.
  HWND h = pl::hwndOf(&edit);
  SetWindowTextA(h, "１号");
  char small[5];
  EXPECT_EQ(GetWindowTextA(h, small, sizeof small), 3);
  EXPECT_STREQ(small, "１");
  EXPECT_EQ(GetWindowTextA(h, small, 1), 0);
  EXPECT_STREQ(small, "");
}

TEST(Texts, MessageWindowsKeepTheirOwnText) {
  HWND h = pl_CreateMessageWindow(nullptr, 0);
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(SetWindowTextA(h, "2026/12/08 10:00:00"));
  char buffer[32];
  GetWindowTextA(h, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "2026/12/08 10:00:00");
  RECT rect{9, 9, 9, 9};
  EXPECT_TRUE(GetClientRect(h, &rect));
  EXPECT_EQ(rect.right, 0);
  EXPECT_TRUE(DestroyWindow(h));
  EXPECT_FALSE(IsWindow(h));
}

TEST(Combo, MessagesFillReadAndSelectWithoutAClick) {
  QComboBox combo;
  int activated = 0;
  QObject::connect(&combo, &QComboBox::activated, [&] { ++activated; });
  HWND h = pl::hwndOf(&combo);
  EXPECT_EQ(SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("01:USB Camera")), 0);
  EXPECT_EQ(SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("02:仮想カメラ")), 1);
  EXPECT_EQ(SendMessageA(h, CB_ADDSTRING, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageA(h, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(SendMessageA(h, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(combo.currentIndex(), 1);
  EXPECT_EQ(SendMessageA(h, CB_SETCURSEL, 5, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(h, CB_GETCURSEL, 0, 0), CB_ERR);

  const LRESULT len = SendMessageA(h, CB_GETLBTEXTLEN, 1, 0);
  std::vector<char> text(static_cast<size_t>(len) + 1);
  EXPECT_EQ(SendMessageA(h, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text.data())), len);
  EXPECT_STREQ(text.data(), "02:仮想カメラ");
  EXPECT_EQ(SendMessageA(h, CB_GETLBTEXT, 9, reinterpret_cast<LPARAM>(text.data())), CB_ERR);
  EXPECT_EQ(SendMessageA(h, CB_GETLBTEXTLEN, -1, 0), CB_ERR);

  EXPECT_EQ(SendMessageA(h, CB_RESETCONTENT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), 0);
  pumpFor(20);
  EXPECT_EQ(activated, 0);
}

// What reaches a message window: WM_USER + 1 as (wParam, lParam) pairs,
// timer ticks, and whether any of them arrived off the UI thread.
struct Inbox {
  std::vector<std::pair<int, int>> items;
  int ticks = 0;
  UINT_PTR lastTimer = 0;
  bool offUiThread = false;
};

LRESULT inboxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* inbox = reinterpret_cast<Inbox*>(GetWindowLongA(hwnd, GWL_USERDATA));
  if (msg != WM_USER + 1 && msg != WM_TIMER) return 0;
  if (!pl::onUiThread()) inbox->offUiThread = true;
  if (msg == WM_TIMER) {
    ++inbox->ticks;
    inbox->lastTimer = wParam;
  } else {
    inbox->items.emplace_back(static_cast<int>(wParam), static_cast<int>(lParam));
  }
  return 0;
}

HWND inboxWindow(Inbox& inbox) { return pl_CreateMessageWindow(inboxProc, reinterpret_cast<LONG_PTR>(&inbox)); }

TEST(Posting, ThousandMessagesFromTwoThreadsArriveInOrderOnTheUiThread) {
  Inbox arrivals;
  HWND h = inboxWindow(arrivals);
  std::atomic<int> refused{0};
  auto sender = [&](int thread) {
    for (int i = 0; i < 500; ++i) {
      if (!PostMessageA(h, WM_USER + 1, static_cast<WPARAM>(thread), i)) ++refused;
    }
  };
  std::thread a(sender, 1), b(sender, 2);
  a.join();
  b.join();
  ASSERT_TRUE(waitUntil([&] { return arrivals.items.size() == 1000; }));
  EXPECT_EQ(refused.load(), 0);
  EXPECT_FALSE(arrivals.offUiThread);
  int next[3] = {0, 0, 0};
  for (auto [thread, value] : arrivals.items) {
    ASSERT_EQ(value, next[thread]) << "thread " << thread;
    ++next[thread];
  }
  DestroyWindow(h);
  // Messages to a destroyed window are refused, and queued ones dropped.
  EXPECT_FALSE(PostMessageA(h, WM_USER + 1, 1, 0));
}

TEST(Posting, MessagesQueuedBeforeDestructionAreDropped) {
  Inbox arrivals;
  HWND h = inboxWindow(arrivals);
  PostMessageA(h, WM_USER + 1, 1, 0);
  DestroyWindow(h);
  pumpFor(30);
  EXPECT_TRUE(arrivals.items.empty());
}

TEST(Timers, FireOnTheUiThreadWithTheirIdUntilKilled) {
  Inbox log;
  HWND h = inboxWindow(log);
  EXPECT_EQ(SetTimer(h, 100, 10, nullptr), 100u);
  ASSERT_TRUE(waitUntil([&] { return log.ticks >= 3; }));
  EXPECT_EQ(log.lastTimer, 100u);
  EXPECT_FALSE(log.offUiThread);
  EXPECT_TRUE(KillTimer(h, 100));
  EXPECT_FALSE(KillTimer(h, 100));
  const int after = log.ticks;
  pumpFor(50);
  EXPECT_EQ(log.ticks, after);

  // A timer dies with its window.
  SetTimer(h, 7, 5, nullptr);
  DestroyWindow(h);
  pumpFor(30);
  EXPECT_EQ(log.ticks, after);
}

TEST(Timers, CanBeSetFromAWorkerAndCallACallback) {
  static std::atomic<int> callbackTicks{0};
  QLabel label;
  HWND h = pl::hwndOf(&label);
  std::atomic<bool> set{false};
  std::thread worker([&] {
    SetTimer(h, 3, 5, [](HWND, UINT, UINT_PTR id, DWORD) { callbackTicks += id == 3 ? 1 : 0; });
    set = true;
  });
  ASSERT_TRUE(waitUntil([&] { return set.load() && callbackTicks > 0; }));
  worker.join();
  EXPECT_TRUE(KillTimer(h, 3));
}

TEST(Threads, TextCallsFromAWorkerRunOnTheUiThread) {
  QLineEdit edit;
  HWND h = pl::hwndOf(&edit);
  std::atomic<bool> done{false};
  char read[32] = {};
  std::thread worker([&] {
    SetWindowTextA(h, "640 * 480");
    GetWindowTextA(h, read, sizeof read);
    done = true;
  });
  ASSERT_TRUE(waitUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_STREQ(read, "640 * 480");
  EXPECT_EQ(edit.text(), "640 * 480");
}

TEST(DeviceContexts, NameTheirWindowOrMemory) {
  QLabel label;
  HWND h = pl::hwndOf(&label);
  HDC dc = GetDC(h);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(WindowFromDC(dc), h);
  HDC mem = CreateCompatibleDC(dc);
  ASSERT_NE(mem, 0u);
  EXPECT_EQ(WindowFromDC(mem), 0u);
  EXPECT_FALSE(DeleteDC(dc));  // a window's context is released, not deleted
  EXPECT_TRUE(DeleteDC(mem));
  EXPECT_EQ(ReleaseDC(h, dc), 1);
  EXPECT_EQ(ReleaseDC(h, dc), 0);
}

TEST(ChildWindows, AreHiddenChildrenOfTheirHostAndDieWithIt) {
  auto* host = new QWidget;
  HWND hostHwnd = pl::hwndOf(host);
  HWND child = pl_CreateChildWindow(hostHwnd, nullptr, 42);
  ASSERT_NE(child, 0u);
  EXPECT_EQ(pl::widgetOf(child)->parentWidget(), host);
  EXPECT_EQ(GetWindowLongA(child, GWL_USERDATA), 42);
  host->show();
  EXPECT_FALSE(IsWindowVisible(child));
  delete host;
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(IsWindow(hostHwnd));
}

BOOL isSet(void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? TRUE : FALSE; }

LRESULT paintPostingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* arrivals = reinterpret_cast<Inbox*>(GetWindowLongA(hwnd, GWL_USERDATA));
  if (msg == WM_PAINT) PostMessageA(hwnd, WM_USER + 2, 0, 0);
  if (msg == WM_USER + 2 || msg == WM_USER + 1) arrivals->items.emplace_back(static_cast<int>(msg - WM_USER), 0);
  return ToolkitWindowProc(hwnd, msg, wParam, lParam);
}

TEST(PaintingOnlyWait, RunsRepaintsAndTimersButHoldsOtherMessagesInOrder) {
  Inbox arrivals;
  HWND h = inboxWindow(arrivals);
  QLabel painted;
  painted.resize(50, 50);
  HWND p = pl::hwndOf(&painted);
  Inbox paints;
  SetWindowLongA(p, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&paints));
  SetWindowLongA(p, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(paintPostingProc));
  SetTimer(h, 1, 5, nullptr);  // ticks pass while the same window's posts wait

  for (int i = 0; i < 5; ++i) PostMessageA(h, WM_USER + 1, 1, i);
  QPushButton button;
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  button.resize(40, 20);
  PostMessageA(pl::hwndOf(&button), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageA(pl::hwndOf(&button), WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(5, 5));
  painted.show();  // a system repaint during the wait

  std::atomic<bool> flag{false};
  std::thread signaller([&] {
    QThread::msleep(150);
    flag = true;
    pl_WakeUiThread();
  });
  EXPECT_TRUE(pl_WaitPaintingOnly(5000, isSet, &flag));
  signaller.join();
  EXPECT_TRUE(arrivals.items.empty());
  EXPECT_EQ(clicks, 0);
  EXPECT_GT(arrivals.ticks, 3);
  ASSERT_FALSE(paints.items.empty());  // the repaint request went through
  EXPECT_EQ(paints.items.front().first, 2);

  ASSERT_TRUE(waitUntil([&] { return arrivals.items.size() == 5 && clicks == 1; }));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(arrivals.items[static_cast<size_t>(i)].second, i);

  std::atomic<bool> never{false};
  EXPECT_FALSE(pl_WaitPaintingOnly(30, isSet, &never));
  EXPECT_FALSE(pl_WaitPaintingOnly(30, nullptr, nullptr));
  DestroyWindow(h);
}

}  // namespace
