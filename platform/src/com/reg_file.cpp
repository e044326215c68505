#include "com/reg_file.h"

#include <QString>

namespace pl::reg {
namespace {

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

void skipBlanks(std::string_view s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
}

// Reads a quoted string starting at s[i] == '"'; leaves i after the closing quote.
bool readQuoted(std::string_view s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out.clear();
  while (i < s.size()) {
    char c = s[i++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i >= s.size()) return false;
    switch (s[i++]) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return false;
}

void writeQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  out += '"';
}

void serializeKey(const Key& key, std::string& path, std::string& out) {
  out += '[';
  out += path;
  out += "]\n";
  for (const auto& [folded, value] : key.values) {
    if (value.name.empty())
      out += '@';
    else
      writeQuoted(out, value.name);
    out += '=';
    writeQuoted(out, value.data);
    out += '\n';
  }
  out += '\n';
  for (const auto& [folded, child] : key.keys) {
    size_t mark = path.size();
    path += '\\';
    path += child->name;
    serializeKey(*child, path, out);
    path.resize(mark);
  }
}

// One "@=..." or "\"name\"=..." line.
bool parseValueLine(std::string_view line, std::string& name, std::string& data) {
  size_t i = 0;
  if (line[0] == '@') {
    name.clear();
    i = 1;
  } else if (!readQuoted(line, i, name)) {
    return false;
  }
  skipBlanks(line, i);
  if (i >= line.size() || line[i] != '=') return false;
  ++i;
  skipBlanks(line, i);
  if (!readQuoted(line, i, data)) return false;
  skipBlanks(line, i);
  return i == line.size() && validValueName(name) && validValueData(data);
}

}  // namespace

bool validUtf8(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07u;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string fold(std::string_view s) {
  if (isAscii(s)) {
    std::string out(s);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  QByteArray folded = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toCaseFolded().toUtf8();
  return std::string(folded.constData(), static_cast<size_t>(folded.size()));
}

std::optional<Path> splitPath(std::string_view key) {
  Path path;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string_view::npos) end = key.size();
    std::string_view part = key.substr(start, end - start);
    if (!part.empty()) {
      if (part.size() > kMaxKeyName || path.size() >= kMaxDepth || !validUtf8(part)) return std::nullopt;
      for (unsigned char c : part)
        if (c < 0x20 || c == 0x7F) return std::nullopt;
      path.emplace_back(part);
    }
    start = end + 1;
  }
  if (path.empty()) return std::nullopt;
  return path;
}

std::string joinPath(const Path& path) {
  std::string out;
  for (const auto& part : path) {
    if (!out.empty()) out += '\\';
    out += part;
  }
  return out;
}

Key* find(Key& root, const Path& path) {
  Key* key = &root;
  for (const auto& part : path) {
    auto it = key->keys.find(fold(part));
    if (it == key->keys.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

const Key* find(const Key& root, const Path& path) { return find(const_cast<Key&>(root), path); }

Key& create(Key& root, const Path& path) {
  Key* key = &root;
  for (const auto& part : path) {
    auto& slot = key->keys[fold(part)];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = part;
    }
    key = slot.get();
  }
  return *key;
}

bool remove(Key& root, const Path& path) {
  if (path.empty()) return false;
  Key* parent = find(root, Path(path.begin(), path.end() - 1));
  return parent != nullptr && parent->keys.erase(fold(path.back())) > 0;
}

void pruneEmptyParents(Key& root, const Path& path) {
  for (size_t n = path.size(); n-- > 1;) {
    Path parent(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(n));
    Key* key = find(root, parent);
    if (key == nullptr) continue;
    if (!key->empty()) return;
    remove(root, parent);
  }
}

const Value* findValue(const Key& key, std::string_view name) {
  auto it = key.values.find(fold(name));
  return it == key.values.end() ? nullptr : &it->second;
}

void setValue(Key& key, std::string_view name, std::string_view data) {
  auto& value = key.values[fold(name)];
  if (value.name.empty()) value.name = name;
  value.data = data;
}

bool validValueName(std::string_view name) {
  return name.size() <= kMaxValueName && name.find('\0') == std::string_view::npos && validUtf8(name);
}

bool validValueData(std::string_view data) {
  return data.size() <= kMaxFileSize && data.find('\0') == std::string_view::npos && validUtf8(data);
}

void parse(std::string_view text, Key& root) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Key* current = nullptr;
  std::string name, data;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = trim(text.substr(pos, eol - pos));
    pos = eol + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.size() < 2 || line.back() != ']') continue;
      if (auto path = splitPath(line.substr(1, line.size() - 2))) current = &create(root, *path);
    } else if (current != nullptr && (line[0] == '@' || line[0] == '"')) {
      if (parseValueLine(line, name, data)) setValue(*current, name, data);
    }
  }
}

std::string serialize(const Key& root) {
  std::string out = "; Selvane class registry: UTF-8; key and value names compare without regard to case.\n\n";
  std::string path;
  for (const auto& [folded, child] : root.keys) {
    path = child->name;
    serializeKey(*child, path, out);
  }
  return out;
}

}  // namespace pl::reg
