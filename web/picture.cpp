#include "picture.h"

#include <turbojpeg.h>

#include <QCryptographicHash>

namespace selvane::web {

namespace {

struct TjHandle {
  explicit TjHandle(tjhandle h) : handle(h) {}
  ~TjHandle() {
    if (handle) tjDestroy(handle);
  }
  TjHandle(const TjHandle&) = delete;
  TjHandle& operator=(const TjHandle&) = delete;
  tjhandle handle;
};

// One compressor per thread: TurboJPEG handles are not shared between threads.
tjhandle compressor() {
  thread_local TjHandle h(tjInitCompress());
  return h.handle;
}

std::string strongTag(QByteArrayView bytes) {
  const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(20);
  return '"' + digest.toStdString() + '"';
}

}  // namespace

QByteArray bmpToJpeg(QByteArrayView bytes, const publication::BmpInfo& info, int quality) {
  tjhandle tj = compressor();
  if (!tj) return {};
  const auto* pixels = reinterpret_cast<const unsigned char*>(bytes.data() + info.pixelOffset);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  int rc;
  if (info.planar) {
    const int cw = (info.width + 1) / 2, ch = (info.height + 1) / 2;
    const unsigned char* planes[3] = {pixels, pixels + info.width * info.height,
                                      pixels + info.width * info.height + cw * ch};
    const int strides[3] = {info.width, cw, cw};
    rc = tjCompressFromYUVPlanes(tj, planes, info.width, strides, info.height, TJSAMP_420, &out, &outSize, quality,
                                 TJFLAG_FASTDCT);
  } else {
    const int stride = (info.width * info.bitCount + 31) / 32 * 4;
    const int format = info.bitCount == 24 ? TJPF_BGR : TJPF_BGRX;
    rc = tjCompress2(tj, pixels, info.width, stride, info.height, format, &out, &outSize, TJSAMP_420, quality,
                     TJFLAG_FASTDCT | (info.topDown ? 0 : TJFLAG_BOTTOMUP));
  }
  QByteArray jpeg;
  if (rc == 0) jpeg = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
  tjFree(out);
  return jpeg;
}

qsizetype Picture::partSize() const {
  return partHead.size() + jpeg.size() + static_cast<qsizetype>(sizeof kPartTail - 1);
}

qsizetype Picture::footprint() const { return stored.size() + partHead.size() + (storedJpeg ? 0 : jpeg.size()); }

PicturePtr makePicture(const publication::PublishedPicture& published) {
  auto picture = std::make_shared<Picture>();
  picture->width = published.width;
  picture->height = published.height;
  if (published.jpeg) {
    picture->jpeg = published.bytes;
  } else if (const auto info = publication::inspectBmp(published.bytes)) {
    picture->jpeg = bmpToJpeg(published.bytes, *info);
  }
  picture->storedJpeg = published.jpeg;
  picture->etag = strongTag(published.bytes);
  picture->modifiedSecs = published.modifiedSecs;
  if (!picture->jpeg.isEmpty())
    picture->partHead =
        "Content-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(picture->jpeg.size()) + "\r\n\r\n";
  picture->stored = published.bytes;
  return picture;
}

PicturePtr makePicture(QByteArray stored, bool jpeg, int64_t modifiedSecs) {
  publication::PublishedPicture published;
  if (!publication::isCompletePicture(stored, jpeg, &published.width, &published.height)) return nullptr;
  published.bytes = std::move(stored);
  published.jpeg = jpeg;
  published.modifiedSecs = modifiedSecs;
  return makePicture(published);
}

}  // namespace selvane::web
