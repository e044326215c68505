// The class registry as an in-memory tree, and its text form: a file of
// "[key\path]" sections holding `"name"="value"` and `@="default"` lines,
// UTF-8. Key and value names compare without regard to case; the spelling
// first written is kept. The parser takes any bytes: malformed lines are
// skipped, never fatal.
#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pl::reg {

// Limits that keep a hostile file from exhausting the stack or memory.
inline constexpr size_t kMaxDepth = 64;
inline constexpr size_t kMaxKeyName = 255;
inline constexpr size_t kMaxValueName = 16383;
inline constexpr size_t kMaxFileSize = 16u << 20;

struct Value {
  std::string name;  // "" = the key's default value
  std::string data;
};

struct Key {
  std::string name;
  std::map<std::string, Value> values;               // by folded name
  std::map<std::string, std::unique_ptr<Key>> keys;  // by folded name

  bool empty() const { return values.empty() && keys.empty(); }
};

using Path = std::vector<std::string>;

// Case folding used for every comparison (simple Unicode case folding).
std::string fold(std::string_view text);
bool validUtf8(std::string_view text);

// Splits "A\B\C" into its components; empty components (leading, trailing or
// doubled separators) are dropped. Nothing for an empty path, a path too deep,
// a component too long or one holding control characters or invalid UTF-8.
std::optional<Path> splitPath(std::string_view key);
std::string joinPath(const Path& path);

Key* find(Key& root, const Path& path);
const Key* find(const Key& root, const Path& path);
Key& create(Key& root, const Path& path);
// Removes the key and everything below it; false when it does not exist.
bool remove(Key& root, const Path& path);
// Removes the parents of `path` (deepest first) that hold nothing any more.
void pruneEmptyParents(Key& root, const Path& path);

const Value* findValue(const Key& key, std::string_view name);
void setValue(Key& key, std::string_view name, std::string_view data);
// Accepts only names and data that the text form can carry (valid UTF-8,
// no NUL, within the limits).
bool validValueName(std::string_view name);
bool validValueData(std::string_view data);

// Merges the text into `root` (later lines win over earlier ones).
void parse(std::string_view text, Key& root);
std::string serialize(const Key& root);

}  // namespace pl::reg
