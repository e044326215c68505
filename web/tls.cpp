#include "tls.h"

#include <QFile>
#include <QFileInfo>

namespace selvane::web {

bool readPem(const QString& path, QByteArray* pem, QString* error) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("%1: %2").arg(
        path, QFileInfo::exists(path) ? file.errorString() : QStringLiteral("No such file"));
    return false;
  }
  *pem = file.read(1 << 20);
  if (!pem->contains("-----BEGIN ")) {
    *error = QStringLiteral("%1: not a PEM file").arg(path);
    return false;
  }
  return true;
}

bool tlsOptions(const QByteArray& cert, const QByteArray& key, unsigned* flags, std::vector<MHD_OptionItem>* items,
                QString* error) {
  items->clear();
  if (!cert.isEmpty() || !key.isEmpty()) {
    if (cert.isEmpty() || key.isEmpty()) {
      *error = QStringLiteral("HTTPS needs both a certificate and its key");
      return false;
    }
    if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
      *error = QStringLiteral("this libmicrohttpd was built without TLS");
      return false;
    }
    *flags |= MHD_USE_TLS;
    items->push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(cert.constData())});
    items->push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(key.constData())});
  }
  items->push_back({MHD_OPTION_END, 0, nullptr});
  return true;
}

}  // namespace selvane::web
