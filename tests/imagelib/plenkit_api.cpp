#include "plenkit_api.h"

#include <dlfcn.h>

#include <cstdlib>

namespace {

template <class Fn>
bool resolve(void* library, const char* name, Fn*& target, std::string& error) {
  target = reinterpret_cast<Fn*>(dlsym(library, name));
  if (target == nullptr) error += std::string("missing export ") + name + "; ";
  return target != nullptr;
}

PlenkitApi load() {
  PlenkitApi api;
  const char* dir = std::getenv("SV_OUT_DIR");
  const std::string path = dir != nullptr && *dir != '\0' ? std::string(dir) + "/libplenkit.so" : "libplenkit.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    api.error = why != nullptr ? why : "dlopen failed";
    return api;
  }
  bool ok = true;
#define PLENKIT_RESOLVE(name) ok = resolve(library, #name, api.name, api.error) && ok;
  PLENKIT_ENTRY_POINTS(PLENKIT_RESOLVE)
#undef PLENKIT_RESOLVE
  api.loaded = ok;
  return api;  // the library stays loaded for the rest of the process
}

}  // namespace

const PlenkitApi& plenkit() {
  static const PlenkitApi api = load();
  return api;
}
