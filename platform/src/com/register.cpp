// Registration records of self-registering servers, laid out as the classic
// class registry: CLSID\{...}, the ProgID, TypeLib\{...}\<version> and
// Interface\{...}. Each call is one transaction; unregistering removes
// exactly what registering wrote.
#include <cstdio>

#include "com/registry_internal.h"

namespace pl::reg {
namespace {

std::string guidText(const GUID* guid) {
  char text[40];
  if (guid == nullptr || StringFromGUID2(guid, text, sizeof text) == 0) return {};
  return text;
}

std::string versionText(WORD major, WORD minor) {
  char text[16];
  std::snprintf(text, sizeof text, "%x.%x", static_cast<unsigned>(major), static_cast<unsigned>(minor));
  return text;
}

std::string dirOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Key below the root given by components that may themselves hold
// separators (a ProgID never does, but the caller's text is not trusted).
Key* keyAt(Key& root, const std::string& path, bool make) {
  auto parts = splitPath(path);
  if (!parts) return nullptr;
  return make ? &create(root, *parts) : find(root, *parts);
}

bool put(Key& root, const std::string& path, const char* name, const std::string& data) {
  if (!validValueData(data)) return false;
  Key* key = keyAt(root, path, true);
  if (key == nullptr) return false;
  setValue(*key, name != nullptr ? name : "", data);
  return true;
}

bool removeTree(Key& root, const std::string& path) {
  auto parts = splitPath(path);
  if (!parts || !remove(root, *parts)) return false;
  pruneEmptyParents(root, *parts);
  return true;
}

std::string defaultOf(Key& root, const std::string& path) {
  Key* key = keyAt(root, path, false);
  const Value* v = key != nullptr ? findValue(*key, "") : nullptr;
  return v != nullptr ? v->data : std::string();
}

bool validText(const char* text) { return text != nullptr && validValueData(text); }

bool validProgId(const char* progId) {
  if (progId == nullptr || *progId == '\0') return true;  // optional
  auto parts = splitPath(progId);
  return parts && parts->size() == 1;
}

}  // namespace
}  // namespace pl::reg

using namespace pl::reg;

PL_API HRESULT pl_RegisterTypeLib(const PL_TYPELIB_INFO* info) {
  if (info == nullptr || info->libid == nullptr || !validText(info->path) || info->interfaceCount < 0 ||
      (info->interfaceCount > 0 && info->interfaces == nullptr))
    return SELFREG_E_TYPELIB;
  try {
    const std::string lib = "TypeLib\\" + guidText(info->libid);
    const std::string ver = lib + "\\" + versionText(info->major, info->minor);
    const std::string path = info->path;
    LONG rc = transact(true, [&](Key& root, bool& modified) -> LONG {
      bool ok = put(root, ver, nullptr, info->helpString != nullptr ? info->helpString : "") &&
                put(root, ver + "\\0\\linux64", nullptr, path) && put(root, ver + "\\FLAGS", nullptr, "0") &&
                put(root, ver + "\\HELPDIR", nullptr, dirOf(path));
      if (ok && info->helpFile != nullptr) ok = put(root, ver, "HELPFILE", info->helpFile);
      for (int i = 0; ok && i < info->interfaceCount; ++i) {
        const PL_INTERFACE_INFO& itf = info->interfaces[i];
        if (itf.iid == nullptr) return kErrorInvalidParameter;
        const std::string key = "Interface\\" + guidText(itf.iid);
        ok = put(root, key, nullptr, itf.name != nullptr ? itf.name : "") &&
             put(root, key + "\\TypeLib", nullptr, guidText(info->libid)) &&
             put(root, key + "\\TypeLib", "Version", versionText(info->major, info->minor));
      }
      if (!ok) return kErrorInvalidParameter;
      modified = true;
      return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_TYPELIB;
  } catch (...) { return SELFREG_E_TYPELIB; }
}

PL_API HRESULT pl_UnregisterTypeLib(const PL_TYPELIB_INFO* info) {
  if (info == nullptr || info->libid == nullptr || info->interfaceCount < 0 ||
      (info->interfaceCount > 0 && info->interfaces == nullptr))
    return SELFREG_E_TYPELIB;
  try {
    const std::string libid = guidText(info->libid);
    const std::string lib = "TypeLib\\" + libid;
    LONG rc = transact(true, [&](Key& root, bool& modified) -> LONG {
      // Another version of the library keeps the library key alive.
      modified = removeTree(root, lib + "\\" + versionText(info->major, info->minor));
      for (int i = 0; i < info->interfaceCount; ++i) {
        if (info->interfaces[i].iid == nullptr) continue;
        const std::string key = "Interface\\" + guidText(info->interfaces[i].iid);
        // Only the interface entries that name this library are ours.
        if (fold(defaultOf(root, key + "\\TypeLib")) == fold(libid)) modified |= removeTree(root, key);
      }
      return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_TYPELIB;
  } catch (...) { return SELFREG_E_TYPELIB; }
}

PL_API HRESULT pl_RegisterClass(const PL_CLASS_INFO* info) {
  if (info == nullptr || info->clsid == nullptr || !validText(info->path) || !validProgId(info->progId))
    return SELFREG_E_CLASS;
  try {
    const std::string clsid = guidText(info->clsid);
    const std::string cls = "CLSID\\" + clsid;
    const std::string name = info->displayName != nullptr ? info->displayName : "";
    const std::string progId = info->progId != nullptr ? info->progId : "";
    const std::string path = info->path;
    LONG rc = transact(true, [&](Key& root, bool& modified) -> LONG {
      bool ok = put(root, cls, nullptr, name) && put(root, cls + "\\InprocServer32", nullptr, path) &&
                put(root, cls + "\\InprocServer32", "ThreadingModel",
                    info->threadingModel != nullptr ? info->threadingModel : "Apartment");
      if (ok && !progId.empty())
        ok = put(root, cls + "\\ProgID", nullptr, progId) && put(root, progId, nullptr, name) &&
             put(root, progId + "\\CLSID", nullptr, clsid);
      if (ok && info->isControl) {
        keyAt(root, cls + "\\Control", true);
        ok = put(root, cls + "\\MiscStatus", nullptr, "0") &&
             put(root, cls + "\\MiscStatus\\1", nullptr, std::to_string(info->miscStatus)) &&
             put(root, cls + "\\ToolboxBitmap32", nullptr, path + ", 1");
      }
      if (ok && info->typeLib != nullptr)
        ok = put(root, cls + "\\TypeLib", nullptr, guidText(info->typeLib)) &&
             put(root, cls + "\\Version", nullptr, std::to_string(info->major) + "." + std::to_string(info->minor));
      if (!ok) return kErrorInvalidParameter;
      modified = true;
      return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
  } catch (...) { return SELFREG_E_CLASS; }
}

PL_API HRESULT pl_UnregisterClass(const PL_CLASS_INFO* info) {
  if (info == nullptr || info->clsid == nullptr || !validProgId(info->progId)) return SELFREG_E_CLASS;
  try {
    const std::string clsid = guidText(info->clsid);
    const std::string progId = info->progId != nullptr ? info->progId : "";
    LONG rc = transact(true, [&](Key& root, bool& modified) -> LONG {
      modified = removeTree(root, "CLSID\\" + clsid);
      // A ProgID taken over by another class since stays with that class.
      if (!progId.empty() && fold(defaultOf(root, progId + "\\CLSID")) == fold(clsid))
        modified |= removeTree(root, progId);
      return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
  } catch (...) { return SELFREG_E_CLASS; }
}
