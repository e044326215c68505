#include "testkit/pictures.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <turbojpeg.h>

size_t strideOf(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }

BITMAPFILEHEADER fileHeaderOf(const Bytes& bmp) {
  BITMAPFILEHEADER h;
  std::memcpy(&h, bmp.data(), sizeof h);
  return h;
}

BITMAPINFOHEADER infoHeaderOf(const Bytes& bmp) {
  BITMAPINFOHEADER h;
  std::memcpy(&h, bmp.data() + 14, sizeof h);
  return h;
}

void setFileHeader(Bytes& bmp, const BITMAPFILEHEADER& header) { std::memcpy(bmp.data(), &header, sizeof header); }
void setInfoHeader(Bytes& bmp, const BITMAPINFOHEADER& header) { std::memcpy(bmp.data() + 14, &header, sizeof header); }

Bytes bmpWithHeaders(int width, int height, WORD bitCount, DWORD compression, size_t pixelBytes) {
  Bytes bmp(54 + pixelBytes, 0);
  setFileHeader(bmp, {0x4D42 /* "BM" */, static_cast<DWORD>(bmp.size()), 0, 0, 54});
  // No resolution and no palette.
  setInfoHeader(bmp, {40, width, height, 1, bitCount, compression, static_cast<DWORD>(pixelBytes), 0, 0, 0, 0});
  return bmp;
}

Bytes makeBmp24(int width, int height, const std::function<Bgr(int x, int row)>& colour) {
  const size_t stride = strideOf(width);
  Bytes bmp = bmpWithHeaders(width, height, 24, BI_RGB, stride * static_cast<size_t>(height));
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) {
      const Bgr c = colour(x, row);  // B, G, R: the order of the file's bytes
      std::memcpy(bmp.data() + 54 + stride * static_cast<size_t>(row) + static_cast<size_t>(x) * 3, &c, 3);
    }
  return bmp;
}

Bytes noiseBmp24(int width, int height, uint32_t seed) {
  Bytes bmp = makeBmp24(width, height, [](int, int) { return Bgr{}; });
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 54; i < bmp.size(); ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bmp[i] = static_cast<uint8_t>(state >> 7);
  }
  return bmp;
}

Bytes quartersBmp24(int width, int height) {
  return makeBmp24(width, height, [=](int x, int row) {
    const bool top = row >= height / 2;  // rows are stored bottom-up
    const bool left = x < width / 2;
    return top ? (left ? kRed : kGreen) : (left ? kBlue : kYellow);
  });
}

Bytes makePlanarFrame(int width, int height, uint32_t fourcc, const std::function<uint8_t(int x, int y)>& luma,
                      uint8_t u, uint8_t v) {
  const size_t lumaBytes = static_cast<size_t>(width) * height;
  const size_t chromaBytes = static_cast<size_t>((width + 1) / 2) * ((height + 1) / 2);
  Bytes bmp = bmpWithHeaders(width, height, 12, fourcc, lumaBytes + 2 * chromaBytes);
  uint8_t* y = bmp.data() + 54;
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) y[static_cast<size_t>(row) * width + x] = luma(x, row);
  std::memset(y + lumaBytes, u, chromaBytes);
  std::memset(y + lumaBytes + chromaBytes, v, chromaBytes);
  return bmp;
}

Bgr pixelAt(const Bytes& bmp, int x, int row) {
  const BITMAPINFOHEADER info = infoHeaderOf(bmp);
  const uint8_t* p = bmp.data() + 54 + strideOf(info.biWidth) * static_cast<size_t>(row) + static_cast<size_t>(x) * 3;
  return Bgr{p[0], p[1], p[2]};
}

Bytes encodeJpeg(const Bytes& bgr, int width, int height, int quality) {
  tjhandle h = tjInitCompress();
  unsigned char* data = nullptr;
  unsigned long size = 0;
  Bytes out;
  if (tjCompress2(h, bgr.data(), width, 0, height, TJPF_BGR, &data, &size, TJSAMP_420, quality, 0) == 0)
    out.assign(data, data + size);
  tjFree(data);
  tjDestroy(h);
  return out;
}

std::optional<DecodedJpeg> decodeJpeg(const uint8_t* data, size_t size) {
  tjhandle handle = tjInitDecompress();
  if (handle == nullptr) return std::nullopt;
  DecodedJpeg out;
  int subsampling = 0, colourspace = 0;
  std::optional<DecodedJpeg> result;
  if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &out.width, &out.height, &subsampling,
                          &colourspace) == 0) {
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    if (tjDecompress2(handle, data, static_cast<unsigned long>(size), out.rgb.data(), out.width, 0, out.height,
                      TJPF_RGB, 0) == 0)
      result = std::move(out);
  }
  tjDestroy(handle);
  return result;
}

bool near(Bgr a, Bgr b, int tolerance) {
  return std::abs(a.b - b.b) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.r - b.r) <= tolerance;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ScratchDir::ScratchDir() {
  const std::string base = std::filesystem::temp_directory_path().string() + "/plenkit-test-XXXXXX";
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name.data();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::put(const std::string& name, const Bytes& bytes) const {
  const std::string path = file(name);
  writeBytes(path, bytes);
  return path;
}
