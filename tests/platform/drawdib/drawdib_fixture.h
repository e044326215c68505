// A shown window, its device context, a memory context made from it and a
// drawing handle, released in reverse order.
#pragma once
#include <gtest/gtest.h>
#include <QWidget>

#include "platform/drawdib.h"
#include "platform/qt_bridge.h"
#include "platform/window.h"

class DrawDibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(153, 105);
    window.show();
    hwnd = pl::hwndOf(&window);
    windowDc = GetDC(hwnd);
    memoryDc = CreateCompatibleDC(windowDc);
    hdd = DrawDibOpen();
    ASSERT_NE(hwnd, 0u);
    ASSERT_NE(windowDc, 0u);
    ASSERT_NE(memoryDc, 0u);
    ASSERT_NE(hdd, nullptr);
  }
  void TearDown() override {
    DrawDibClose(hdd);
    DeleteDC(memoryDc);
    ReleaseDC(hwnd, windowDc);
  }

  QWidget window;
  HWND hwnd = 0;
  HDC windowDc = 0;
  HDC memoryDc = 0;
  HDRAWDIB hdd = nullptr;
};
