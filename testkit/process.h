// Readings of this process for the benchmarks: resident set, heap in use,
// CPU time of all its threads, and a steady clock.
#pragma once
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace appbench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
  return std::chrono::duration<double>(end - start).count();
}

// Resident set size in KiB (second field of /proc/self/statm), -1 when unreadable.
inline double residentKiB() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
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

// User plus system CPU seconds of every thread of the process so far.
inline double cpuSeconds() {
  rusage u{};
  if (getrusage(RUSAGE_SELF, &u) != 0) return -1;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

inline double median(std::vector<double> values) {
  if (values.empty()) return -1;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

}  // namespace appbench
