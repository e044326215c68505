#include "clients/plenkit_client.h"

#include <dlfcn.h>

#include "platform/services.h"

namespace selvane {
namespace {

template <class F>
bool resolve(void* library, const char* name, F*& out, QString* missing) {
  out = reinterpret_cast<F*>(dlsym(library, name));
  if (!out && missing->isEmpty()) *missing = QString::fromLatin1(name);
  return out != nullptr;
}

}  // namespace

const Plenkit* Plenkit::load(QString* error) {
  static Plenkit api{};
  static bool loaded = false;
  static QString failure;
  if (loaded) return &api;
  char dir[4096];
  const QString path = pl_ProgramDirectory(sizeof dir, dir) > 0 ? QString::fromUtf8(dir) + "/libplenkit.so"
                                                                : QStringLiteral("libplenkit.so");
  void* library = dlopen(path.toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
  if (!library) library = dlopen("libplenkit.so", RTLD_NOW | RTLD_LOCAL);  // by name, through the search path
  if (!library) {
    failure = QString::fromLocal8Bit(dlerror());
    if (error) *error = failure;
    return nullptr;
  }
  QString missing;
#define SV_RESOLVE(name) resolve(library, #name, api.name, &missing)
  SV_RESOLVE(BitMapOpen), SV_RESOLVE(BitMapClose), SV_RESOLVE(BmpFileSend), SV_RESOLVE(BmptoJpgConvert),
      SV_RESOLVE(JpgFileSend), SV_RESOLVE(GetDirName), SV_RESOLVE(GetTempDir), SV_RESOLVE(RegEntrySet),
      SV_RESOLVE(ClickMessageSend), SV_RESOLVE(BitDispWindSet), SV_RESOLVE(BitDispWindReset), SV_RESOLVE(BmpDisp),
      SV_RESOLVE(BmpFileDisp), SV_RESOLVE(BmpDispReset), SV_RESOLVE(BmpDispCopy), SV_RESOLVE(BmpScalConv),
      SV_RESOLVE(BmpColChange);
#undef SV_RESOLVE
  if (!missing.isEmpty()) {
    failure = path + ": " + missing;
    if (error) *error = failure;
    return nullptr;
  }
  loaded = true;
  return &api;
}

}  // namespace selvane
