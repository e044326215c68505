// The help viewer: one top-level window with the program's HTML help file.
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "services/ui_call.h"

namespace pl::services {
namespace {

// UI thread only.
QPointer<QWidget> g_viewer;
QPointer<QTextBrowser> g_browser;
QString g_file;  // absolute path of the file shown

void updateTitle() {
  if (!g_viewer || !g_browser) return;
  QString title = g_browser->documentTitle().trimmed();
  if (title.isEmpty()) title = QFileInfo(g_file).fileName();
  g_viewer->setWindowTitle(title);
  g_viewer->setAccessibleName(title);
}

void createViewer() {
  auto* viewer = new QWidget(nullptr, Qt::Window);
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  // An open help window alone does not keep the program running.
  viewer->setAttribute(Qt::WA_QuitOnClose, false);
  viewer->setObjectName(QStringLiteral("HelpViewer"));
  viewer->setAccessibleDescription(QStringLiteral("HelpViewer"));
  auto* browser = new QTextBrowser(viewer);
  browser->setObjectName(QStringLiteral("HelpText"));
  browser->setAccessibleName(QStringLiteral("ヘルプ本文"));
  browser->setAccessibleDescription(QStringLiteral("HelpText"));
  browser->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(viewer);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser);
  viewer->resize(760, 560);
  QObject::connect(browser, &QTextBrowser::sourceChanged, viewer, [] { updateTitle(); });
  g_viewer = viewer;
  g_browser = browser;
}

BOOL showHelp(const QString& file) {
  const QFileInfo info(file);
  if (!info.isFile() || !info.isReadable()) {
    std::fprintf(stderr, "help file not found: %s\n", file.toLocal8Bit().constData());
    return FALSE;
  }
  const QString path = info.absoluteFilePath();
  if (!g_viewer || !g_browser || !g_viewer->isVisible()) {
    delete g_viewer.data();  // closed by the operator and not yet deleted
    createViewer();
    g_file.clear();
  }
  if (path != g_file) {
    g_file = path;
    g_browser->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    updateTitle();
  }
  if (g_viewer->isMinimized()) g_viewer->showNormal();
  g_viewer->show();
  g_viewer->raise();
  g_viewer->activateWindow();
  return TRUE;
}

void quitHelp() {
  // Deleted at once so its handle is stale as soon as the call returns.
  delete g_viewer.data();
  g_file.clear();
}

BOOL winHelp(const char* helpFile, UINT command) {
  switch (command) {
    case HELP_FINDER:
      if (!helpFile || !*helpFile) return FALSE;
      return onUiThread([&] { return showHelp(QString::fromUtf8(helpFile)); });
    case HELP_QUIT:
      onUiThread([] {
        quitHelp();
        return 0;
      });
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace
}  // namespace pl::services

using namespace pl::services;

PL_EXTERN_C BOOL WinHelpA(HWND /*owner*/, const char* helpFile, UINT command, ULONG_PTR /*data*/) {
  try {
    if (!haveWidgets()) return FALSE;
    return winHelp(helpFile, command);
  } catch (...) { return FALSE; }
}

PL_EXTERN_C HWND pl_HelpViewerWindow(void) {
  try {
    if (!haveWidgets()) return 0;
    return onUiThread([]() -> HWND {
      if (!g_viewer || !g_viewer->isVisible()) return 0;
      return pl::hwndOf(g_viewer.data());
    });
  } catch (...) { return 0; }
}
