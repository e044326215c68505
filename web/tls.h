// HTTPS for selvane-web: the PEM certificate and key of --tls-cert and
// --tls-key, served through libmicrohttpd's GnuTLS support. Used on the
// controlling thread while the server starts.
#pragma once

#include <microhttpd.h>

#include <QByteArray>
#include <QString>

#include <vector>

namespace selvane::web {

// A PEM file's text (at most 1 MiB); false with the path and the system's
// reason, or when it holds no PEM block.
bool readPem(const QString& path, QByteArray* pem, QString* error);

// The daemon flags and options for a PEM certificate and key (none when
// both are empty); `items` always ends with MHD_OPTION_END and points into
// `cert` and `key`, which must outlive the daemon.
bool tlsOptions(const QByteArray& cert, const QByteArray& key, unsigned* flags, std::vector<MHD_OptionItem>* items,
                QString* error);

}  // namespace selvane::web
