// Windows and messages over Qt Widgets.
//
// Threads: every window lives on the UI thread (the thread of the Qt
// application object). PostMessageA, GetWindowTextA, SetWindowTextA,
// SendMessageA and IsWindow may be called from any thread: posting never
// blocks; the others run on the UI thread and block the caller until done
// (never call them from a thread the UI thread is waiting for). Everything
// else must be called on the UI thread. Without a Qt application object, or
// with an unknown or stale handle, every call fails quietly (0 / FALSE).
//
// Window procedures: a window's first procedure is the toolkit's own handling
// (ToolkitWindowProc). Mouse input (real or posted) and system repaints are
// offered to the window's current procedure as WM_ messages; handing them on
// to ToolkitWindowProc lets the widget react as usual, DefWindowProcA lets the
// widget paint itself but ignores input. WM_PAINT is raised only for system
// repaints (expose, show, resize), never for pictures drawn by the drawing
// engine.
#pragma once
#include "platform/export.h"
#include "platform/wintypes.h"

typedef LRESULT (*WNDPROC)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

// Messages.
#define WM_NULL 0x0000u
#define WM_DESTROY 0x0002u
#define WM_SIZE 0x0005u
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_GETTEXTLENGTH 0x000Eu
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_TIMER 0x0113u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
#define WM_RBUTTONDOWN 0x0204u
#define WM_RBUTTONUP 0x0205u
#define WM_RBUTTONDBLCLK 0x0206u
#define WM_USER 0x0400u

#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u

// Combo-box messages (SendMessageA).
#define CB_ERR (-1)
#define CB_ADDSTRING 0x0143u     // lParam: const char* UTF-8; result: index
#define CB_GETCOUNT 0x0146u      // result: item count
#define CB_GETCURSEL 0x0147u     // result: index or CB_ERR
#define CB_GETLBTEXT 0x0148u     // wParam: index, lParam: char* buffer; result: length or CB_ERR
#define CB_GETLBTEXTLEN 0x0149u  // wParam: index; result: length in bytes or CB_ERR
#define CB_RESETCONTENT 0x014Bu  // result: 0
#define CB_SETCURSEL 0x014Eu     // wParam: index (-1 clears); result: index or CB_ERR; raises no click

// Window-long indices.
#define GWL_WNDPROC (-4)
#define GWL_USERDATA (-21)

PL_BEGIN_C

PL_VISIBLE BOOL IsWindow(HWND hwnd);
PL_VISIBLE BOOL DestroyWindow(HWND hwnd);

// Text in and out is UTF-8. GetWindowTextA copies at most max-1 bytes, never
// splitting a character, and returns the bytes copied.
PL_VISIBLE BOOL SetWindowTextA(HWND hwnd, const char* text);
PL_VISIBLE int GetWindowTextA(HWND hwnd, char* buffer, int max);
PL_VISIBLE int GetWindowTextLengthA(HWND hwnd);

// Calls the window's procedure (combo-box and text messages are answered by
// the toolkit procedure) and returns its result.
PL_VISIBLE LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Queues a message for the window's procedure on the UI thread. Messages are
// delivered in the order they were posted. Mouse-button messages arrive as
// real mouse input (position from lParam, client coordinates).
PL_VISIBLE BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// GWL_WNDPROC and GWL_USERDATA. Values are pointer-sized.
PL_VISIBLE LONG_PTR GetWindowLongA(HWND hwnd, int index);
PL_VISIBLE LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value);
PL_VISIBLE LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
PL_VISIBLE LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
PL_VISIBLE LRESULT ToolkitWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// WM_TIMER (wParam = id) goes to the window procedure every `ms`, or to `fn`
// when given. Setting an existing id restarts it. Returns the id, 0 on failure.
PL_VISIBLE UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC fn);
PL_VISIBLE BOOL KillTimer(HWND hwnd, UINT_PTR id);

PL_VISIBLE BOOL GetClientRect(HWND hwnd, RECT* rect);
PL_VISIBLE BOOL IsWindowVisible(HWND hwnd);

// Device contexts: a window's (GetDC/ReleaseDC) or a memory context that
// only receives decompressed pictures (CreateCompatibleDC/DeleteDC).
// GetDC may be called from any thread.
PL_VISIBLE HDC GetDC(HWND hwnd);
PL_VISIBLE int ReleaseDC(HWND hwnd, HDC hdc);
PL_VISIBLE HDC CreateCompatibleDC(HDC hdc);
PL_VISIBLE BOOL DeleteDC(HDC hdc);
PL_VISIBLE HWND WindowFromDC(HDC hdc);

// A hidden window that only receives messages and timers, owned by the UI
// thread; `proc` handles them, `user` is its GWL_USERDATA.
PL_VISIBLE HWND pl_CreateMessageWindow(WNDPROC proc, LONG_PTR user);

// A hidden child window of `parent` (for a control sited on a host screen);
// it paints nothing of its own and hands messages to `proc`.
PL_VISIBLE HWND pl_CreateChildWindow(HWND parent, WNDPROC proc, LONG_PTR user);

// Waits until `done(context)` is TRUE or `ms` pass, meanwhile running only
// painting and drawing work on the UI thread: system repaints, pictures
// handed over by drawing threads, timers, and messages that a window posted
// while it painted (the repaint requests of display windows). User input and
// every other posted message wait until it returns, in their order. Off the
// UI thread it simply polls. Returns TRUE when `done` became true.
typedef BOOL (*PL_WAIT_DONE)(void* context);
PL_VISIBLE BOOL pl_WaitPaintingOnly(DWORD ms, PL_WAIT_DONE done, void* context);
// Makes a waiting pl_WaitPaintingOnly look at its condition now. Any thread.
PL_VISIBLE void pl_WakeUiThread(void);

PL_END_C
