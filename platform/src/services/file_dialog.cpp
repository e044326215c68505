// The open-file dialog: answered by the in-process hook, by
// PL_FILEDIALOG_ANSWER, or by the operator in a (non-native) QFileDialog.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "services/dialog_filter.h"
#include "services/ui_call.h"

namespace pl::services {
namespace {

std::mutex g_mutex;
PL_FILEDIALOG_HOOK g_hook = nullptr;
void* g_hookContext = nullptr;

constexpr DWORD kHookCapacity = 4096;

// The caller's initial file name, read only within nMaxFile.
QString initialName(const OPENFILENAMEA& ofn) {
  if (!ofn.lpstrFile || ofn.nMaxFile == 0) return {};
  const size_t len = strnlen(ofn.lpstrFile, ofn.nMaxFile);
  if (len == ofn.nMaxFile) return {};
  return QString::fromUtf8(ofn.lpstrFile, static_cast<qsizetype>(len));
}

std::optional<std::string> runDialog(const OPENFILENAMEA& ofn, DWORD* filterIndex) {
  QWidget* parent = ofn.hwndOwner ? pl::widgetOf(ofn.hwndOwner) : nullptr;
  const QString title =
      (ofn.lpstrTitle && *ofn.lpstrTitle) ? QString::fromUtf8(ofn.lpstrTitle) : QStringLiteral("ファイルを開く");
  QString dir = ofn.lpstrInitialDir ? QString::fromUtf8(ofn.lpstrInitialDir) : QString();
  if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::currentPath();

  QPointer<QFileDialog> dialog = new QFileDialog(parent, title, dir);
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode((ofn.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);  // "*.BMP" matches x.bmp
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->setAttribute(Qt::WA_QuitOnClose, false);
  dialog->setAccessibleName(title);
  dialog->setAccessibleDescription(QStringLiteral("OpenFileDialog"));
  const QStringList filters = nameFiltersOf(ofn.lpstrFilter);
  if (!filters.isEmpty()) {
    dialog->setNameFilters(filters);
    const qsizetype index = ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= filters.size() ? ofn.nFilterIndex - 1 : 0;
    dialog->selectNameFilter(filters[index]);
  }
  const QString name = initialName(ofn);
  if (!name.isEmpty()) dialog->selectFile(name);

  const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
  std::optional<std::string> chosen;
  if (accepted && !dialog->selectedFiles().isEmpty()) {
    const QFileInfo file(dialog->selectedFiles().first());
    // A typed name in a directory that does not exist is no choice.
    if ((ofn.Flags & OFN_PATHMUSTEXIST) && !file.absoluteDir().exists()) {
      delete dialog.data();
      return std::nullopt;
    }
    chosen = file.absoluteFilePath().toStdString();
    const qsizetype index = filters.indexOf(dialog->selectedNameFilter());
    if (index >= 0) *filterIndex = static_cast<DWORD>(index + 1);
  }
  delete dialog.data();
  return chosen;
}

// The path chosen for `ofn`, nullopt when cancelled.
std::optional<std::string> choose(const OPENFILENAMEA& ofn, DWORD* filterIndex) {
  PL_FILEDIALOG_HOOK hook;
  void* context;
  {
    std::lock_guard lock(g_mutex);
    hook = g_hook;
    context = g_hookContext;
  }
  if (hook) {
    std::vector<char> path(kHookCapacity, '\0');
    if (!hook(context, &ofn, path.data(), kHookCapacity)) return std::nullopt;
    path.back() = '\0';
    return std::string(path.data());
  }
  if (const char* env = std::getenv("PL_FILEDIALOG_ANSWER")) {
    if (!*env) return std::nullopt;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(env, ec);
    return ec ? std::string(env) : p.string();
  }
  if (!haveWidgets()) {
    std::fprintf(stderr, "open-file dialog without a display: cancelled\n");
    return std::nullopt;
  }
  return onUiThread([&] { return runDialog(ofn, filterIndex); });
}

}  // namespace
}  // namespace pl::services

using namespace pl::services;

PL_EXTERN_C BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
  try {
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) return FALSE;
    DWORD filterIndex = ofn->nFilterIndex;
    const std::optional<std::string> chosen = choose(*ofn, &filterIndex);
    if (!chosen || chosen->empty()) return FALSE;
    if (chosen->size() + 1 > ofn->nMaxFile) return FALSE;
    std::memcpy(ofn->lpstrFile, chosen->c_str(), chosen->size() + 1);
    ofn->nFilterIndex = filterIndex;
    return TRUE;
  } catch (...) { return FALSE; }
}

PL_EXTERN_C void pl_SetFileDialogHook(PL_FILEDIALOG_HOOK hook, void* context) {
  std::lock_guard lock(g_mutex);
  g_hook = hook;
  g_hookContext = hook ? context : nullptr;
}
