// regsvr32 [/s] [/u] [/m] <file>: loads an in-process server and calls its
// DllRegisterServer (or, with /u, DllUnregisterServer). With /m the entry
// point writes the machine-wide registry instead of the user's (the package
// registers the control that way; it needs root). Without /s the
// outcome is shown in a message box (printed to stderr where there is no
// screen). Options are case-insensitive and may start with '-' as well.
// Exit codes: 0 done, 1 bad arguments, 3 the file cannot be loaded, 4 no
// such entry point, 5 the entry point failed.
#include <dlfcn.h>
#include <sys/stat.h>

#include <QApplication>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/com.h"
#include "platform/registry.h"
#include "platform/services.h"

namespace {

constexpr const char* kCaption = "RegSvr32";
constexpr const char* kUsage =
    "Usage: regsvr32 [/u] [/s] [/m] dllname\n"
    "/u - Unregister server\n"
    "/s - Silent; display no message boxes\n"
    "/m - Machine-wide: the registry of all users instead of your own";

enum Exit { kOk = 0, kBadArguments = 1, kLoadFailed = 3, kNoEntryPoint = 4, kEntryFailed = 5 };

struct Options {
  bool silent = false;
  bool unregister = false;
  bool machine = false;
  std::string file;
};

bool isOption(const std::string& arg) {
  return arg.size() == 2 && (arg[0] == '/' || arg[0] == '-') && std::isalpha(static_cast<unsigned char>(arg[1]));
}

bool wantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help") return true;
  }
  return false;
}

bool parse(int argc, char** argv, Options& o) {
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (isOption(arg)) {
      char c = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
      if (c == 's')
        o.silent = true;
      else if (c == 'u')
        o.unregister = true;
      else if (c == 'm')
        o.machine = true;
      else
        ok = false;
    } else if (o.file.empty() && !arg.empty()) {
      o.file = arg;
    } else {
      ok = false;
    }
  }
  return ok && !o.file.empty();
}

struct Outcome {
  int code;
  std::string text;
};

// A box needs a screen someone can answer; offscreen and minimal platforms
// have none, and MessageBoxA without an application object prints the text
// and takes the default button instead.
bool haveScreen() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (!platform.isEmpty()) return !platform.startsWith("offscreen") && !platform.startsWith("minimal");
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int report(int argc, char** argv, const Options& o, const Outcome& outcome) {
  if (o.silent) {
    // Quiet failures still leave a line for build logs.
    if (outcome.code != kOk) std::fprintf(stderr, "regsvr32: %s\n", outcome.text.c_str());
    return outcome.code;
  }
  std::optional<QApplication> app;
  int qtArgc = 1;  // our options are not Qt's
  if (haveScreen() && argc > 0) app.emplace(qtArgc, argv);
  MessageBoxA(0, outcome.text.c_str(), kCaption, MB_OK | (outcome.code == kOk ? MB_ICONINFORMATION : MB_ICONERROR));
  return outcome.code;
}

Outcome run(const Options& o) {
  // Relative names are taken against the current directory, never searched
  // for on the library path.
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(o.file, ec).lexically_normal();
  if (ec) path = o.file;
  const char* entryName = o.unregister ? "DllUnregisterServer" : "DllRegisterServer";

  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return Outcome{kLoadFailed, "LoadLibrary(\"" + o.file + "\") failed - The specified module could not be found."};
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* error = ::dlerror();
    return Outcome{kLoadFailed,
                   "LoadLibrary(\"" + o.file + "\") failed - " + (error != nullptr ? error : "unknown error") + "."};
  }
  auto entry = reinterpret_cast<PFN_DllRegisterServer>(::dlsym(module, entryName));
  if (entry == nullptr)
    return Outcome{kNoEntryPoint, o.file + " was loaded, but the " + entryName +
                                      " entry point was not found.\n\nThis file can not be registered."};
  if (o.machine) pl_RegSetScope(PL_REG_SCOPE_MACHINE);
  CoInitialize(nullptr);
  HRESULT hr = entry();
  CoUninitialize();
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(hr));
    std::string text = std::string(entryName) + " in " + o.file + " failed.\nReturn code was: " + code;
    char registry[4096];
    if (pl_RegistryPath(registry, sizeof registry) > 0)
      text += std::string("\nRegistry: ") + registry + (o.machine ? " (written by root only)" : "");
    return Outcome{kEntryFailed, text};
  }
  return Outcome{kOk, std::string(entryName) + " in " + o.file + " succeeded."};
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  Outcome outcome{kBadArguments, kUsage};
  try {
    if (wantsHelp(argc, argv)) {
      std::printf("%s\n", kUsage);
      return kOk;
    }
    if (parse(argc, argv, options)) outcome = run(options);
    return report(argc, argv, options, outcome);
  } catch (...) {
    std::fprintf(stderr, "regsvr32: unexpected failure\n");
    return kEntryFailed;
  }
}
