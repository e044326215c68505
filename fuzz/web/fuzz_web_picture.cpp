// A slot file as another computer may leave it in a share: any bytes, read as
// the JPEG or the BMP the record names. Never a crash or a read out of
// bounds; what is accepted converts to a whole JPEG.
#include "picture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool jpeg = data[0] & 1;
  const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const selvane::web::PicturePtr p = selvane::web::makePicture(bytes, jpeg, 0);
  if (p && !p->jpeg.isEmpty() && !selvane::publication::isCompleteJpeg(p->jpeg)) __builtin_trap();
  return 0;
}
