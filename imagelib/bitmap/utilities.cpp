// Small utilities: the file dialog, the temporary directory, the
// registration command and a posted click.
#include <time.h>

#include <cstdio>
#include <cstring>

#include "bitmap/library.h"
#include "platform/services.h"

using namespace plenkit;

namespace {

constexpr size_t kTextSize = 1024;

void copyText(char (&target)[kTextSize], const char* text) {
  if (text == nullptr) return;
  std::snprintf(target, sizeof target, "%s", text);
}

// Control bytes (the callers' line feeds) become the zero separators of the
// dialog's filter list; the zeroed tail supplies the final double zero.
void convertFilter(char (&target)[kTextSize], const char* text) {
  for (size_t i = 0; i + 2 < kTextSize && text[i] != '\0'; ++i)
    target[i] = static_cast<unsigned char>(text[i]) < 0x20 ? '\0' : text[i];
}

}  // namespace

PL_API int32_t GetDirName(const char* initialDir, const char* initialFile, const char* filter, HWND window) {
  return guarded(1, [&]() -> int32_t {
    // The chosen path travels back as the window's text: without a window
    // there is nothing to answer with.
    if (!IsWindow(window)) return 1;
    char directory[kTextSize] = {};
    char filterList[kTextSize] = {};
    char file[kTextSize] = {};
    copyText(file, initialFile);
    copyText(directory, initialDir);
    const bool hasFilter = filter != nullptr && *filter != '\0';
    if (hasFilter) convertFilter(filterList, filter);

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = hasFilter ? filterList : nullptr;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kTextSize;
    dialog.lpstrInitialDir = directory;
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) return 1;
    file[kTextSize - 1] = '\0';
    return SetWindowTextA(window, file) ? 0 : 1;
  });
}

PL_API int32_t GetTempDir(HWND window) {
  return guarded(1, [&]() -> int32_t {
    char path[kTextSize] = {};
    DWORD length = GetTempPathA(kTextSize, path);
    if (length == 0 || length >= kTextSize) {
      path[0] = '\0';
      length = GetCurrentDirectoryA(kTextSize, path);
      if (length == 0 || length >= kTextSize) return 1;
    }
    return SetWindowTextA(window, path) ? 0 : 1;
  });
}

PL_API int32_t RegEntrySet(const char* arguments) {
  return guarded(0, [&]() -> int32_t {
    char command[kTextSize] = {};
    std::snprintf(command, sizeof command, "regsvr32 %s", arguments != nullptr ? arguments : "");
    const PL_PROCESS process = pl_StartProcess(command, CREATE_NEW_CONSOLE);
    if (process > 0) {
      // The caller goes on after two seconds whether or not it has finished.
      pl_WaitProcess(process, 2000, nullptr);
      pl_CloseProcess(process);
    }
    return 0;
  });
}

PL_API int32_t ClickMessageSend(HWND window) {
  return guarded(0, [&]() -> int32_t {
    const LPARAM at = MAKELPARAM(5, 5);
    if (!PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at)) return 0;
    const timespec pause{0, 5'000'000};
    nanosleep(&pause, nullptr);
    PostMessageA(window, WM_LBUTTONUP, MK_LBUTTON, at);
    return 0;
  });
}
