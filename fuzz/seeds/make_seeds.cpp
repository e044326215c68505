// Writes each fuzz target's seed corpus: the test pictures and settings the
// tests build (BMP files in the station's kinds, a JPEG, selvanedir.ini, a
// cap.ctl record, a registration), so that fuzzing starts from files the
// readers really meet rather than from nothing.
// Usage: make_fuzz_seeds DIR (writes DIR/<target>/ and an empty DIR/<target>.found/).
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "selvane/publication/control_record.h"
#include "testkit/pictures.h"

namespace {

namespace fs = std::filesystem;

Bytes prefixed(uint8_t first, const Bytes& rest) {
  Bytes out{first};
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

Bytes bytesOf(const QByteArray& text) { return Bytes(text.begin(), text.end()); }

// The quarters picture as a JPEG, as the station publishes it.
Bytes quartersJpeg() {
  constexpr int kWidth = 32, kHeight = 24;
  const Bytes bmp = quartersBmp24(kWidth, kHeight);
  // BMP rows are bottom-up and padded to four bytes; the encoder takes them top row first, unpadded.
  const size_t stride = strideOf(kWidth), row = static_cast<size_t>(kWidth) * 3;
  Bytes rows;
  for (int k = kHeight - 1; k >= 0; --k) {
    const auto start = bmp.begin() + 54 + static_cast<std::ptrdiff_t>(stride * static_cast<size_t>(k));
    rows.insert(rows.end(), start, start + static_cast<std::ptrdiff_t>(row));
  }
  return encodeJpeg(rows, kWidth, kHeight, 75);
}

QByteArray settingsText() {
  QByteArray text;
  for (int k = 0; k < 6; ++k)
    text += k < 2 ? "\"1\",\"1\",\"USB Camera\",\"640*480\",\"1000\",\"5\",\"I420\",\"/srv/unit" +
                        QByteArray::number(k + 1) + "/\"\r\n"
                  : QByteArray("\"0\",\"0\",\"\",\"320*240\",\"5000\",\"10\",\"RGB\",\"\"\r\n");
  return text + "\"1\",\"50\"\r\n";
}

QByteArray record() {
  selvane::publication::ControlRecord r;
  r.claimSlot(QStringLiteral("2026/01/01 00:00:01 "));
  r.claimSlot(QStringLiteral("2026/01/01 00:00:02 "));
  r.state = selvane::publication::ControlRecord::kStateJpeg;
  return r.encode();
}

const char kRegistration[] =
    "[CLSID\\{7D0F55B8-08F0-4263-A312-0E49EDD76CE3}\\InprocServer32]\n"
    "@=\"/usr/lib/selvane/Korvex.OCX\"\n\"ThreadingModel\"=\"Apartment\"\n\n"
    "[Korvex.KorvexCtrl.1\\CLSID]\n@=\"{7D0F55B8-08F0-4263-A312-0E49EDD76CE3}\"\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const fs::path dir = argv[1];
  const Bytes quarters = quartersBmp24(32, 24);
  const Bytes planar = makePlanarFrame(
      16, 16, FOURCC_I420, [](int x, int y) { return uint8_t(x * 16 + y); }, 90, 160);
  const Bytes jpeg = quartersJpeg();
  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, Bytes>>>> seeds = {
      {"fuzz_imagelib", {{"quarters.bmp", quarters}, {"noise.bmp", noiseBmp24(16, 8, 7)}, {"i420.bmp", planar}}},
      {"fuzz_model", {{"selvanedir.ini", bytesOf(settingsText())}, {"cap.ctl", bytesOf(record())}}},
      {"registry_fuzz", {{"registry.reg", Bytes(kRegistration, kRegistration + sizeof kRegistration - 1)}}},
      {"fuzz_web_picture",
       {{"jpeg", prefixed(1, jpeg)}, {"bmp", prefixed(0, quarters)}, {"planar", prefixed(0, planar)}}},
  };
  try {
    for (const auto& [target, files] : seeds) {
      fs::create_directories(dir / target);
      fs::create_directories(dir / (target + ".found"));
      for (const auto& [name, bytes] : files) writeBytes((dir / target / name).string(), bytes);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return jpeg.empty() ? 1 : 0;
}
