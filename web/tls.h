// HTTPS for selvane-web: the PEM certificate and key of --tls-cert and
// --tls-key, served through libmicrohttpd's GnuTLS support. Used on the
// controlling thread while the server starts.
#pragma once

#include "http_server.h"

#include <microhttpd.h>

#include <QByteArray>
#include <QString>

#include <vector>

namespace selvane::web {

// A PEM file's text (at most 1 MiB); false with the path and the system's
// reason, or when it holds no PEM block.
bool readPem(const QString& path, QByteArray* pem, QString* error);

// The daemon flags and options for `options`' certificate and key (none
// when they are empty); `items` always ends with MHD_OPTION_END and points
// into `options`, which must outlive the daemon.
bool tlsOptions(const HttpServer::Options& options, unsigned* flags, std::vector<MHD_OptionItem>* items,
                QString* error);

}  // namespace selvane::web
