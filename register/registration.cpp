// brimlay / brimlift: ask the operator one question and, on Yes, have the
// image library's RegEntrySet run regsvr32 quietly on the capture control
// "Korvex.OCX" next to the program (brimlift adds /u to unregister it).
// The same source builds both programs; BRIM_PROGRAM picks the table row.
//
// Exit codes: 0 done (or answered No; without a display to ask on, No, and
// standard error says nothing was done), 1 unexpected failure, 2 libplenkit.so
// cannot be loaded, 3 it has no RegEntrySet.
#include <dlfcn.h>

#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/services.h"
#include "plenkit/plenkit.h"

namespace {

struct Program {
  const char* title;
  const char* question;
  const char* prefix;   // the switches, a blank and the opening quote
  const char* unasked;  // standard error when there was nobody to ask
};

constexpr Program kPrograms[] = {
    {"Brimlay", "監視カメラ[DIRECT X] 用OCXを登録しますか", "/s \"",
     "brimlay: no display to ask on, so nothing was registered (it registers for the user who runs it;\n"
     "for every user of the machine run, as root: regsvr32 /m /s DIR/Korvex.OCX)\n"},
    {"Brimlift", "監視カメラ[DIRECT X] 用OCXを削除しますか", "/u /s \"",
     "brimlift: no display to ask on, so nothing was unregistered\n"},
};
static_assert(BRIM_PROGRAM >= 0 && BRIM_PROGRAM < 2, "BRIM_PROGRAM selects brimlay (0) or brimlift (1)");
constexpr const Program& kProgram = kPrograms[BRIM_PROGRAM];

constexpr const char* kControlFile = "/Korvex.OCX\"";
constexpr const char* kLibrary = "libplenkit.so";
enum Exit { kDone = 0, kFailed = 1, kNoLibrary = 2, kNoEntryPoint = 3 };

using RegEntrySetFn = decltype(&RegEntrySet);

// A real box needs a screen someone can answer. Without one no Qt
// application is made, so MessageBoxA takes PL_MSGBOX_ANSWERS or its
// default (No) instead of waiting on an invisible box.
bool haveScreen() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (!platform.isEmpty()) return !platform.startsWith("offscreen") && !platform.startsWith("minimal");
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The directory of the running executable, without a trailing '/' (except
// for the root itself).
std::string programDirectory() {
  std::string dir(256, '\0');
  DWORD n = pl_ProgramDirectory(static_cast<DWORD>(dir.size()), dir.data());
  if (n >= dir.size()) {  // too small: n is the size needed
    dir.assign(n, '\0');
    n = pl_ProgramDirectory(static_cast<DWORD>(dir.size()), dir.data());
    if (n >= dir.size()) n = 0;
  }
  dir.resize(n);
  return dir;
}

// The library is bound by name when it is needed: from the program's own
// directory first, then through the usual search.
void* openLibrary(const std::string& dir, std::string* error) {
  void* library = dir.empty() ? nullptr : dlopen((dir + "/" + kLibrary).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* text = dlerror();
    *error = text != nullptr ? text : "";
  }
  return library;
}

// A missing library or entry point is told to the operator in a box rather
// than ending the program with a loader error on a terminal nobody reads.
int fail(int code, const std::string& text) {
  MessageBoxA(0, text.c_str(), nullptr, MB_OK | MB_ICONERROR);
  return code;
}

int run(int argc, char** argv) {
  pl_SetAppTitle(kProgram.title);
  int qtArgc = 1;  // the programs take no arguments, and none are Qt's
  std::optional<QApplication> app;
  if (haveScreen() && argc > 0) app.emplace(qtArgc, argv);
  // The box's default answer is No when nobody can see it and no script answers.
  const bool canAsk = app.has_value() || !qEnvironmentVariableIsEmpty("PL_MSGBOX_ANSWERS");

  if (MessageBoxA(0, kProgram.question, nullptr, MB_YESNO) == IDNO) {
    if (!canAsk) std::fputs(kProgram.unasked, stderr);
    return kDone;
  }

  const std::string dir = programDirectory();
  const std::string arguments = kProgram.prefix + dir + kControlFile;

  std::string error;
  void* library = openLibrary(dir, &error);
  if (library == nullptr)
    return fail(kNoLibrary, std::string("画像ライブラリ ") + kLibrary + " を読み込めません。\n" + error +
                                "\nプログラムと同じフォルダーに " + kLibrary + " と libquillo.so を置いてください。");
  auto regEntrySet = reinterpret_cast<RegEntrySetFn>(dlsym(library, "RegEntrySet"));
  if (regEntrySet == nullptr)
    return fail(kNoEntryPoint, std::string("画像ライブラリ ") + kLibrary + " に RegEntrySet がありません。");
  regEntrySet(arguments.c_str());  // reports nothing: always 0
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (...) {
    std::fprintf(stderr, "%s: unexpected failure\n", kProgram.title);
    return kFailed;
  }
}
