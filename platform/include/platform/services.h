// Other services: message boxes, the open-file dialog, the help viewer, the
// temporary and current directories and starting processes.
//
// Threads: message boxes, the dialog and the help viewer run on the UI thread;
// the rest on any thread.
//
// Answering from tests and scripts: pl_SetMessageBoxHook / pl_SetFileDialogHook
// in process, or the environment: PL_MSGBOX_ANSWERS ("yes,no,ok,...", taken in
// order, one per box; an exhausted list answers the default button),
// PL_MSGBOX_LOG (file to which every box appends "caption\ttext\tanswer"),
// PL_FILEDIALOG_ANSWER (the chosen path; empty = cancel). Without an answer
// and without a display the box is printed to stderr and answered with its
// default button (OK, or No for a question).
#pragma once
#include "platform/export.h"
#include "platform/wintypes.h"

// Message box styles and answers.
#define MB_OK 0x0000u
#define MB_YESNO 0x0004u
#define MB_ICONERROR 0x0010u
#define MB_ICONQUESTION 0x0020u
#define MB_ICONWARNING 0x0030u
#define MB_ICONINFORMATION 0x0040u
#define IDOK 1
#define IDYES 6
#define IDNO 7

// Open-file dialog.
#define OFN_PATHMUSTEXIST 0x0800u
#define OFN_NOCHANGEDIR 0x0008u
#define OFN_FILEMUSTEXIST 0x1000u
typedef struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  const char* lpstrFilter;  // "Description\0pattern\0...\0\0"
  DWORD nFilterIndex;       // 1-based
  char* lpstrFile;          // in: initial name; out: chosen full path (UTF-8)
  DWORD nMaxFile;
  const char* lpstrInitialDir;
  const char* lpstrTitle;
  DWORD Flags;
} OPENFILENAMEA;

// Help viewer.
#define HELP_QUIT 0x0002u
#define HELP_FINDER 0x000Bu

// Process creation.
#define CREATE_NEW_CONSOLE 0x00000010u  // the child starts in a session of its own

PL_BEGIN_C

// The caption used when `caption` is NULL: the program's title.
PL_VISIBLE void pl_SetAppTitle(const char* title);
PL_VISIBLE int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
typedef int (*PL_MSGBOX_HOOK)(void* context, const char* text, const char* caption, UINT type);
// Routes every message box to `hook` (NULL restores the normal boxes).
PL_VISIBLE void pl_SetMessageBoxHook(PL_MSGBOX_HOOK hook, void* context);

// TRUE: a file was chosen and lpstrFile holds its path. FALSE: cancelled.
PL_VISIBLE BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
// The hook returns TRUE with a path written to `path` (capacity `max`) to choose it.
typedef BOOL (*PL_FILEDIALOG_HOOK)(void* context, const OPENFILENAMEA* ofn, char* path, DWORD max);
PL_VISIBLE void pl_SetFileDialogHook(PL_FILEDIALOG_HOOK hook, void* context);

// HELP_FINDER opens the viewer on the help file's contents; HELP_QUIT closes it.
// The help file is an HTML document.
PL_VISIBLE BOOL WinHelpA(HWND owner, const char* helpFile, UINT command, ULONG_PTR data);
// The viewer's window while it is open, else 0.
PL_VISIBLE HWND pl_HelpViewerWindow(void);

// $TMPDIR or /tmp, always with a trailing '/'. Returns the length copied (0 on
// failure, the needed size with NUL when `max` is too small).
PL_VISIBLE DWORD GetTempPathA(DWORD max, char* buffer);
PL_VISIBLE DWORD GetCurrentDirectoryA(DWORD max, char* buffer);
// The directory of the running executable, without a trailing '/'.
PL_VISIBLE DWORD pl_ProgramDirectory(DWORD max, char* buffer);

// Starts `commandLine` (program and arguments separated by blanks; double
// quotes group an argument with blanks). A program name without '/' is looked
// for next to the running executable first, then on PATH. With
// CREATE_NEW_CONSOLE the child gets a session of its own. Returns a process
// handle (> 0), or 0 when it could not be started.
typedef int32_t PL_PROCESS;
PL_VISIBLE PL_PROCESS pl_StartProcess(const char* commandLine, DWORD flags);
// Waits at most `ms` (0xFFFFFFFF: no limit). TRUE and *exitCode (if given)
// when the process has ended; FALSE on time-out.
PL_VISIBLE BOOL pl_WaitProcess(PL_PROCESS process, DWORD ms, int* exitCode);
// Forgets the handle; a child still running is reaped when it ends.
PL_VISIBLE void pl_CloseProcess(PL_PROCESS process);

PL_END_C
