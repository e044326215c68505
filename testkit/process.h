// Readings of a process for the benchmarks: resident set, heap in use, CPU
// time of all its threads, and a steady clock. Any thread.
#pragma once
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace testkit {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
  return std::chrono::duration<double>(end - start).count();
}

inline std::string procFile(long pid, const char* name) {
  return (pid == 0 ? std::string("/proc/self/") : "/proc/" + std::to_string(pid) + "/") + name;
}

// Resident set size in KiB of process `pid` (0: this one; second field of
// statm), -1 when unreadable.
inline double residentKiB(long pid = 0) {
  std::FILE* f = std::fopen(procFile(pid, "statm").c_str(), "r");
  if (!f) return -1;
  long size = 0, resident = 0;
  const int n = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  if (n != 2) return -1;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

// Heap bytes in use (all arenas and large blocks) in KiB: what a leak grows,
// without the reserve the allocator keeps for threads that come and go.
inline double heapInUseKiB() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd) / 1024.0;
}

// User plus system CPU seconds of every thread of process `pid` (0: this
// one) so far, -1 when unreadable.
inline double cpuSeconds(long pid = 0) {
  if (pid == 0) {
    rusage u{};
    if (getrusage(RUSAGE_SELF, &u) != 0) return -1;
    auto seconds = [](const timeval& t) {
      return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
  }
  std::FILE* f = std::fopen(procFile(pid, "stat").c_str(), "r");
  if (!f) return -1;
  char text[1024] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  const std::string stat(text, n);
  const size_t close = stat.rfind(')');  // the name may hold spaces
  unsigned long user = 0, system = 0;
  if (close == std::string::npos ||
      std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
    return -1;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

inline double median(std::vector<double> values) {
  if (values.empty()) return -1;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

}  // namespace testkit
