#include <gtest/gtest.h>
#include <QApplication>
#include <QTextBrowser>

#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "platform/window.h"
#include "testkit/files.h"
#include "testkit/pictures.h"

namespace {

int openViewers() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("HelpViewer") && w->isVisible()) ++n;
  return n;
}

class HelpViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testkit::writeFile(help_,
                                   "<html><head><title>Selvane ヘルプ</title></head>"
                                   "<body><h1>目次</h1><p>撮影の開始</p></body></html>"));
  }
  void TearDown() override { WinHelpA(0, nullptr, HELP_QUIT, 0); }

  ScratchDir dir_;
  std::string help_ = dir_.file("SELVANE.HLP");
};

TEST_F(HelpViewerTest, FinderOpensOneViewerAndQuitClosesIt) {
  ASSERT_TRUE(WinHelpA(0, help_.c_str(), HELP_FINDER, 0));
  const HWND viewer = pl_HelpViewerWindow();
  ASSERT_NE(viewer, 0u);
  QWidget* widget = pl::widgetOf(viewer);
  ASSERT_NE(widget, nullptr);
  EXPECT_TRUE(widget->isVisible());
  EXPECT_EQ(widget->windowTitle(), QStringLiteral("Selvane ヘルプ"));
  auto* browser = widget->findChild<QTextBrowser*>();
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("撮影の開始")));
  EXPECT_FALSE(browser->accessibleName().isEmpty());
  EXPECT_FALSE(widget->accessibleName().isEmpty());

  ASSERT_TRUE(WinHelpA(0, help_.c_str(), HELP_FINDER, 0));
  EXPECT_EQ(pl_HelpViewerWindow(), viewer);
  EXPECT_EQ(openViewers(), 1);

  EXPECT_TRUE(WinHelpA(0, help_.c_str(), HELP_QUIT, 0));
  EXPECT_EQ(pl_HelpViewerWindow(), 0u);
  EXPECT_FALSE(IsWindow(viewer));
  EXPECT_EQ(openViewers(), 0);
  EXPECT_TRUE(WinHelpA(0, nullptr, HELP_QUIT, 0));  // nothing open: still fine
}

TEST_F(HelpViewerTest, MissingFileOrUnknownCommandFails) {
  EXPECT_FALSE(WinHelpA(0, "/nonexistent/SELVANE.HLP", HELP_FINDER, 0));
  EXPECT_FALSE(WinHelpA(0, dir_.path().c_str(), HELP_FINDER, 0));  // a directory
  EXPECT_FALSE(WinHelpA(0, nullptr, HELP_FINDER, 0));
  EXPECT_FALSE(WinHelpA(0, help_.c_str(), 0x1234u, 0));
  EXPECT_EQ(pl_HelpViewerWindow(), 0u);
  EXPECT_EQ(openViewers(), 0);
}

TEST_F(HelpViewerTest, UntitledDocumentIsNamedByItsFileAndClosedViewerReopens) {
  const std::string plain = dir_.file("plain.hlp");
  testkit::writeFile(plain, "<p>本文</p>");
  ASSERT_TRUE(WinHelpA(0, plain.c_str(), HELP_FINDER, 0));
  const HWND first = pl_HelpViewerWindow();
  ASSERT_NE(first, 0u);
  EXPECT_EQ(pl::widgetOf(first)->windowTitle(), QStringLiteral("plain.hlp"));

  // Switching files keeps the one window.
  ASSERT_TRUE(WinHelpA(0, help_.c_str(), HELP_FINDER, 0));
  EXPECT_EQ(pl_HelpViewerWindow(), first);
  EXPECT_EQ(pl::widgetOf(first)->windowTitle(), QStringLiteral("Selvane ヘルプ"));

  // The operator closes it; the next request opens a fresh one.
  pl::widgetOf(first)->close();
  EXPECT_EQ(pl_HelpViewerWindow(), 0u);
  ASSERT_TRUE(WinHelpA(0, help_.c_str(), HELP_FINDER, 0));
  EXPECT_NE(pl_HelpViewerWindow(), 0u);
  EXPECT_NE(pl_HelpViewerWindow(), first);
  EXPECT_EQ(openViewers(), 1);
}

}  // namespace
