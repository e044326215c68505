// Stamped pictures published with the station's store routine.
#pragma once
#include <QFile>
#include <QString>

#include <cerrno>

#include "selvane/publication/store.h"
#include "testkit/stamped_picture.h"

// Puts `bytes` into the empty file the store made, in place (no truncation first).
inline selvane::publication::PictureWriter bytesWriter(const stamped::Bytes& bytes) {
  return [bytes](const std::string& path) -> selvane::publication::WriteOutcome {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadWrite)) return {false, EACCES};
    const bool ok = f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
                        static_cast<qint64>(bytes.size()) &&
                    f.resize(static_cast<qint64>(bytes.size()));
    return {ok, ok ? 0 : EIO};
  };
}

// Picture `id` (prepared beforehand, or made here) with its slot text.
inline selvane::publication::StoreResult storeStamped(const QString& dir, int id, selvane::publication::Format format,
                                                      const stamped::Bytes* prepared = nullptr) {
  using selvane::publication::Format;
  const stamped::Bytes made = prepared                 ? stamped::Bytes()
                              : format == Format::Jpeg ? stamped::jpeg(id)
                                                       : stamped::bmp(id);
  return selvane::publication::storeImage(dir, QString::fromStdString(stamped::slotText(id)), format,
                                          bytesWriter(prepared ? *prepared : made));
}
