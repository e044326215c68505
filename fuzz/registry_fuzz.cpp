// Any bytes parse without harm, and what the parser keeps is stable: the
// file written from it reads back to the same file.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "com/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pl::reg::Key root;
  pl::reg::parse(std::string_view(reinterpret_cast<const char*>(data), size), root);
  const std::string once = pl::reg::serialize(root);
  pl::reg::Key again;
  pl::reg::parse(once, again);
  if (pl::reg::serialize(again) != once) std::abort();
  return 0;
}
