// Identity and members of the test control server (TestCtl.OCX).
#pragma once
#include "platform/com.h"

namespace testctl {

// {1E54C9E9-8CE8-44C6-BBEA-1B5543B82AA5}
inline constexpr GUID kLibId = {0x1E54C9E9, 0x8CE8, 0x44C6, {0xBB, 0xEA, 0x1B, 0x55, 0x43, 0xB8, 0x2A, 0xA5}};
// {7D0F55B8-08F0-4263-A312-0E49EDD76CE3}
inline constexpr GUID kClsid = {0x7D0F55B8, 0x08F0, 0x4263, {0xA3, 0x12, 0x0E, 0x49, 0xED, 0xD7, 0x6C, 0xE3}};
// {193F7ED7-C326-4DE6-9D5D-B537FCD4CA7B}
inline constexpr GUID kPageClsid = {0x193F7ED7, 0xC326, 0x4DE6, {0x9D, 0x5D, 0xB5, 0x37, 0xFC, 0xD4, 0xCA, 0x7B}};
// {038541D4-3BBE-475A-9EDC-C939E920F6CC}
inline constexpr GUID kDispatchIid = {0x038541D4, 0x3BBE, 0x475A, {0x9E, 0xDC, 0xC9, 0x39, 0xE9, 0x20, 0xF6, 0xCC}};
// {C27865E0-0DCE-4EC7-A364-12E21914B0DE}
inline constexpr GUID kEventsIid = {0xC27865E0, 0x0DCE, 0x4EC7, {0xA3, 0x64, 0x12, 0xE2, 0x19, 0x14, 0xB0, 0xDE}};

inline constexpr const char* kProgId = "TestCtl.TestCtlCtrl.1";
inline constexpr const char* kPageProgId = "TestCtl.TestCtlPage.1";
inline constexpr DWORD kMiscStatus = 0x20191;

// Methods.
enum : DISPID {
  kAdd = 1,             // (a, b) -> a + b
  kDouble = 2,          // (ref n) -> old n; n doubled in place
  kGreet = 3,           // (text) -> "Hello, " + text
  kLength = 4,          // (text) -> bytes
  kFireNow = 5,         // (n): events kValueEvent(n) and kTextEvent("fired n") at once
  kFireLater = 6,       // (n): kValueEvent(n) from the control's own window message
  kFireFromThread = 7,  // (n): kValueEvent(n) fired on a worker thread
  kThrow = 8,           // throws inside the control
  kWindow = 9,          // -> the control's window handle
};

// Events.
enum : DISPID { kValueEvent = 1, kTextEvent = 2 };

}  // namespace testctl
