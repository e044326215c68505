// Child processes: started with posix_spawn, kept in a table of handle
// numbers, waited for by polling so a wait can time out.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/services.h"
#include "services/command_line.h"

extern char** environ;

namespace pl::services {
namespace {

constexpr DWORD kInfinite = 0xFFFFFFFFu;

struct Child {
  pid_t pid = 0;
  bool ended = false;
  int exitCode = 0;
};

std::mutex g_mutex;
std::unordered_map<PL_PROCESS, Child> g_children;
PL_PROCESS g_nextHandle = 1;  // handles are never reused

// Exit status as a number: the exit code, or 128 + signal for a killed child.
int exitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Checks once, without blocking, whether the child has ended. Holding the
// table lock while doing so keeps two waiters from racing for the status.
void poll(Child& child) {
  if (child.ended) return;
  int status = 0;
  pid_t r;
  do { r = ::waitpid(child.pid, &status, WNOHANG); } while (r < 0 && errno == EINTR);
  if (r == child.pid) {
    child.ended = true;
    child.exitCode = exitCodeOf(status);
  } else if (r < 0) {
    // Reaped elsewhere (someone else's waitpid(-1)): the status is lost.
    child.ended = true;
    child.exitCode = -1;
  }
}

// posix_spawn's attributes and file actions for one start.
struct SpawnSetup {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  bool haveAttr = false, haveActions = false, ok = false;

  explicit SpawnSetup(bool newSession) {
    haveAttr = posix_spawnattr_init(&attr) == 0;
    haveActions = posix_spawn_file_actions_init(&actions) == 0;
    if (!haveAttr || !haveActions) return;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession) flags |= POSIX_SPAWN_SETSID;
    sigset_t none;
    sigemptyset(&none);
    // Signals a host may ignore or handle (SIGPIPE above all) start afresh.
    sigset_t reset;
    sigemptyset(&reset);
    for (int sig : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2})
      sigaddset(&reset, sig);
    ok = posix_spawnattr_setflags(&attr, flags) == 0 && posix_spawnattr_setsigmask(&attr, &none) == 0 &&
         posix_spawnattr_setsigdefault(&attr, &reset) == 0 &&
         // Only the standard streams are passed on.
         posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
  }
  ~SpawnSetup() {
    if (haveActions) posix_spawn_file_actions_destroy(&actions);
    if (haveAttr) posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

PL_PROCESS start(const char* commandLine, DWORD flags) {
  if (!commandLine) return 0;
  std::vector<std::string> args = splitCommandLine(commandLine);
  if (args.empty()) return 0;
  const std::string program = findProgram(args[0]);
  if (program.empty()) return 0;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  SpawnSetup setup((flags & CREATE_NEW_CONSOLE) != 0);
  if (!setup.ok) return 0;
  std::lock_guard lock(g_mutex);
  if (g_nextHandle == INT32_MAX) return 0;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), environ) != 0) return 0;
  const PL_PROCESS handle = g_nextHandle++;
  g_children[handle] = Child{pid};
  return handle;
}

BOOL wait(PL_PROCESS process, DWORD ms, int* exitCode) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    {
      std::lock_guard lock(g_mutex);
      auto it = g_children.find(process);
      if (it == g_children.end()) return FALSE;
      poll(it->second);
      if (it->second.ended) {
        if (exitCode) *exitCode = it->second.exitCode;
        return TRUE;
      }
    }
    auto step = pause;
    if (ms != kInfinite) {
      const Clock::time_point now = Clock::now();
      if (now >= deadline) return FALSE;
      step = std::min(pause, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
    }
    std::this_thread::sleep_for(step);
    pause = std::min(pause * 2, std::chrono::milliseconds(10));
  }
}

void close(PL_PROCESS process) {
  pid_t orphan = 0;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_children.find(process);
    if (it == g_children.end()) return;
    poll(it->second);
    if (!it->second.ended) orphan = it->second.pid;
    g_children.erase(it);
  }
  // A child still running is reaped by a thread of its own when it ends, so
  // it never lingers as a zombie.
  if (orphan > 0) {
    std::thread([orphan] {
      while (::waitpid(orphan, nullptr, 0) < 0 && errno == EINTR) {}
    }).detach();
  }
}

}  // namespace
}  // namespace pl::services

PL_EXTERN_C PL_PROCESS pl_StartProcess(const char* commandLine, DWORD flags) {
  try {
    return pl::services::start(commandLine, flags);
  } catch (...) { return 0; }
}

PL_EXTERN_C BOOL pl_WaitProcess(PL_PROCESS process, DWORD ms, int* exitCode) {
  try {
    return pl::services::wait(process, ms, exitCode);
  } catch (...) { return FALSE; }
}

PL_EXTERN_C void pl_CloseProcess(PL_PROCESS process) {
  try {
    pl::services::close(process);
  } catch (...) {}
}
