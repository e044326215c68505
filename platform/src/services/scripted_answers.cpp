#include "services/scripted_answers.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace pl::services {
namespace {

std::mutex g_mutex;
std::string g_list;     // the value the position below refers to
size_t g_position = 0;  // byte offset of the next entry in g_list

std::string trimmedLower(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  std::string out = s.substr(b, e - b);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void appendEscaped(std::string& out, const std::string& s) {
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
}

}  // namespace

std::optional<std::string> nextScriptedAnswer() {
  const char* env = std::getenv("PL_MSGBOX_ANSWERS");
  if (!env || !*env) return std::nullopt;
  std::lock_guard lock(g_mutex);
  if (g_list != env) {
    g_list = env;
    g_position = 0;
  }
  if (g_position > g_list.size()) return std::string();
  size_t comma = g_list.find(',', g_position);
  if (comma == std::string::npos) comma = g_list.size();
  std::string entry = g_list.substr(g_position, comma - g_position);
  g_position = comma + 1;  // past the end once the last entry is taken
  return trimmedLower(entry);
}

void logMessageBox(const std::string& caption, const std::string& text, const char* answer) {
  const char* path = std::getenv("PL_MSGBOX_LOG");
  if (!path || !*path) return;
  std::string line;
  appendEscaped(line, caption);
  line += '\t';
  appendEscaped(line, text);
  line += '\t';
  line += answer;
  line += '\n';
  // One append-mode write per box keeps lines whole when several processes
  // (a program and the tools it starts) share the log.
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t written = ::write(fd, line.data(), line.size());
  (void)written;
  ::close(fd);
}

}  // namespace pl::services
