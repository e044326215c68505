// BMP file images with header fields changed: the files the library and the
// encoder must refuse, or must read as their headers say.
#pragma once
#include "testkit/pictures.h"

// `bmp` with its two headers passed through `change(file, info)`.
template <class Change>
Bytes withHeaders(Bytes bmp, Change change) {
  BITMAPFILEHEADER file = fileHeaderOf(bmp);
  BITMAPINFOHEADER info = infoHeaderOf(bmp);
  change(file, info);
  setFileHeader(bmp, file);
  setInfoHeader(bmp, info);
  return bmp;
}
