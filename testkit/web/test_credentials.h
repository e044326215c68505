// Test logins and an HTTPS certificate, made by the real tools.
#pragma once

#include <crypt.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

#include "testkit/files.h"

namespace webtest {

// A self-signed certificate for 127.0.0.1 made by openssl, and the users
// file in every hash kind the logins accept: SHA-crypt by `openssl passwd`,
// yescrypt and bcrypt by libxcrypt as mkpasswd and htpasswd -B make them.
struct Credentials {
  // The base64 SHA-256 of the certificate's public key, as chromium's
  // --ignore-certificate-errors-spki-list takes it.
  QByteArray spki() const {
    const auto certs = QSslCertificate::fromPath(cert);
    return certs.isEmpty()
               ? QByteArray()
               : QCryptographicHash::hash(certs.front().publicKey().toDer(), QCryptographicHash::Sha256).toBase64();
  }

  QTemporaryDir dir;
  QString cert = dir.path() + "/cert.pem", key = dir.path() + "/key.pem", users = dir.path() + "/users";
  bool made = false;

  static QByteArray run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitCode() == 0 ? p.readAllStandardOutput().trimmed() : QByteArray();
  }
  static QByteArray xcrypt(const char* prefix, const char* password) {
    crypt_data data{};
    const char* setting = crypt_gensalt_rn(prefix, 0, nullptr, 0, data.setting, sizeof data.setting);
    return setting ? QByteArray(crypt_r(password, setting, &data)) : QByteArray();
  }
  Credentials() {
    if (run("openssl",
            {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
             "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"})
            .isNull() &&
        !QFile::exists(cert))
      return;
    made = testkit::writeFile(users, "# viewers\nsha512:" + run("openssl", {"passwd", "-6", "pw-6"}) + "\nsha256:" +
                                         run("openssl", {"passwd", "-5", "pw-5"}) + "\nyes:" + xcrypt("$y$", "pw-y") +
                                         "\nbcrypt:" + xcrypt("$2b$", "pw-2b") + "\n");
  }
};

}  // namespace webtest
