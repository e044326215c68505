// Child program of the services tests (no Qt application object).
//   report <file> [args...]   writes "sid=N", "fds=a,b,..", "arg=[x]" lines
//   msgbox <file> <type>...   shows one box per type, writes each answer
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/services.h"

namespace {

std::string openDescriptors() {
  std::string out;
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return out;
  const int own = ::dirfd(dir);
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.' || std::atoi(e->d_name) == own) continue;
    if (!out.empty()) out += ',';
    out += e->d_name;
  }
  ::closedir(dir);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1];
  if (mode == "report") {
    // Listed before the report file itself is opened.
    std::string report = "sid=" + std::to_string(::getsid(0)) + "\nfds=" + openDescriptors() + "\n";
    for (int i = 3; i < argc; ++i) report += std::string("arg=[") + argv[i] + "]\n";
    std::ofstream(argv[2]) << report;
    return 0;
  }
  if (mode == "msgbox") {
    std::ofstream out(argv[2]);
    for (int i = 3; i < argc; ++i)
      out << MessageBoxA(0, "確認", nullptr, static_cast<UINT>(std::atoi(argv[i]))) << "\n";
    return 0;
  }
  return 2;
}
