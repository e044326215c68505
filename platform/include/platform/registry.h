// Class registry: a tree of keys (paths separated by '\', compared without
// regard to case) holding named string values, under the root that the
// component model reads classes from. Two text files hold it:
//   - the user's: $PL_REGISTRY when set, else
//     $XDG_CONFIG_HOME/selvane/registry.reg (or ~/.config/...);
//   - the machine's: $PL_MACHINE_REGISTRY when set (empty: none), else
//     /var/lib/selvane/registry.reg, written by the package.
// In the user's scope (the default) reads see the machine's entries with the
// user's own over them, and writes go to the user's file; in the machine's
// scope reads and writes see the machine's file alone. Every call reads or
// rewrites a file under an exclusive lock, so separate processes (regsvr32,
// the program, tests) see one registry. Threads: any; the scope is
// process-wide.
#pragma once
#include "platform/com.h"
#include "platform/export.h"
#include "platform/wintypes.h"

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_MORE_DATA 234L

#define PL_REG_SCOPE_USER 0
#define PL_REG_SCOPE_MACHINE 1

PL_BEGIN_C

// Chooses the registry that later calls of this process write to; returns
// the previous scope, -1 (nothing changed) for an unknown one.
PL_VISIBLE int pl_RegSetScope(int scope);

// The file writes go to; returns its length, 0 on failure.
PL_VISIBLE int pl_RegistryPath(char* buffer, int max);

// `name` NULL or "" is the key's default value. Setting creates missing keys.
PL_VISIBLE LONG pl_RegSetString(const char* key, const char* name, const char* value);
// Copies the value (UTF-8, NUL-terminated) and stores its length in *length.
PL_VISIBLE LONG pl_RegGetString(const char* key, const char* name, char* buffer, int max, int* length);
PL_VISIBLE BOOL pl_RegKeyExists(const char* key);
// Deletes the key, its values and every key below it.
PL_VISIBLE LONG pl_RegDeleteTree(const char* key);

// Registration records written by self-registering servers.
typedef struct PL_INTERFACE_INFO {
  const IID* iid;
  const char* name;
} PL_INTERFACE_INFO;

typedef struct PL_TYPELIB_INFO {
  const GUID* libid;
  WORD major, minor;
  const char* helpString;
  const char* helpFile;  // file name; its directory is the server's
  const char* path;      // the server file that holds the library
  const PL_INTERFACE_INFO* interfaces;
  int interfaceCount;
} PL_TYPELIB_INFO;

typedef struct PL_CLASS_INFO {
  const CLSID* clsid;
  const char* progId;
  const char* displayName;
  const char* threadingModel;  // "Apartment"
  const char* path;            // the server file
  BOOL isControl;              // adds the Control, MiscStatus, ToolboxBitmap32 entries
  DWORD miscStatus;
  const GUID* typeLib;  // may be NULL
  WORD major, minor;
} PL_CLASS_INFO;

// S_OK, or SELFREG_E_TYPELIB / SELFREG_E_CLASS when the registry cannot be written.
PL_VISIBLE HRESULT pl_RegisterTypeLib(const PL_TYPELIB_INFO* info);
PL_VISIBLE HRESULT pl_UnregisterTypeLib(const PL_TYPELIB_INFO* info);
PL_VISIBLE HRESULT pl_RegisterClass(const PL_CLASS_INFO* info);
PL_VISIBLE HRESULT pl_UnregisterClass(const PL_CLASS_INFO* info);

PL_END_C
