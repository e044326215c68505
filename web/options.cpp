#include "options.h"

#include "http_server.h"
#include "selvane/publication/station_settings.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace selvane::web {

namespace {

constexpr int kMinPollMs = 10;
constexpr int kMaxPollMs = 60000;

QString asDir(const QString& path) {
  QString dir = QFileInfo(path).absoluteFilePath();
  if (!dir.endsWith(u'/')) dir += u'/';
  return dir;
}

}  // namespace

bool unitsFromSettings(const QString& path, std::vector<UnitSource>* units, QString* error) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("%1: %2").arg(
        path, QFileInfo(path).exists() ? file.errorString() : QStringLiteral("No such file"));
    return false;
  }
  const QString text = publication::decodeSettingsBytes(file.read(publication::kSettingsReadLimit));
  for (const publication::PublishedUnit& u : publication::publishedUnits(publication::readSettingsTexts(text)))
    units->push_back({u.number, asDir(u.writeDir), u.intervalMs});
  if (units->empty()) {
    *error = QStringLiteral("%1: no unit is both in use and saving").arg(path);
    return false;
  }
  return true;
}

ParseResult parseCommandLine(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Shows the pictures that Selvane stations publish in their write directories: a web page, JSON, and an "
      "MJPEG stream per unit. Reads the directories as any network reader does and never writes to them.\n\n"
      "  GET /                   the page: every unit's newest picture, live\n"
      "  GET /units, /units/N    JSON: state, newest slot, format, slot texts, readability\n"
      "  GET /units/N/latest     the newest picture as stored (JPEG or BMP)\n"
      "  GET /units/N/latest.jpg the newest picture as JPEG\n"
      "  GET /units/N/stream     MJPEG (multipart/x-mixed-replace), one part per new picture\n"
      "  GET /metrics            every unit's health and counts for Prometheus\n\n"
      "Units are numbered 1, 2, ... in the order of the DIR arguments; with --settings they keep the station's "
      "unit numbers.");
  const QCommandLineOption help(QStringList{"h", "help"}, "Shows this help.");
  parser.addPositionalArgument("DIR", "A unit's write directory (one per unit).", "DIR...");
  const QCommandLineOption listen("listen",
                                  "Address and port to serve on (default 127.0.0.1:8080; 0.0.0.0:8080 "
                                  "or [::]:8080 opens it to the network).",
                                  "ADDR:PORT", "127.0.0.1:8080");
  const QCommandLineOption poll("poll", "How often each directory is looked at, in ms (10 to 60000; default 200).",
                                "MS", "200");
  const QCommandLineOption settings("settings", "Take the units in use and saving from this selvanedir.ini.", "PATH");
  const QCommandLineOption noNotify("no-notify", "Poll only; do not also watch local directories with inotify.");
  const QCommandLineOption maxClients("max-clients", "Most connections served at once (default 512).", "N", "512");
  const QCommandLineOption maxMemory("max-memory",
                                     "Most memory, in MiB, that pictures being sent to clients may hold "
                                     "(default 256); a client past it is answered 503 or its stream ends.",
                                     "MIB", "256");
  const QCommandLineOption allowHost("allow-host",
                                     "Served on loopback, also answer requests for this host name "
                                     "(may be repeated; localhost, 127.0.0.1 and [::1] always are).",
                                     "NAME");
  const QCommandLineOption users("users",
                                 "Ask every client for one of the logins in FILE (lines name:hash, "
                                 "crypt(3) hashes as mkpasswd, openssl passwd -6 or htpasswd -B make them).",
                                 "FILE");
  const QCommandLineOption tlsCert("tls-cert", "Serve HTTPS with this PEM certificate (chain).", "FILE");
  const QCommandLineOption tlsKey("tls-key", "The PEM private key of --tls-cert.", "FILE");
  parser.addOptions({help, listen, poll, settings, noNotify, maxClients, maxMemory, allowHost, users, tlsCert, tlsKey});

  ParseResult result;
  if (!parser.parse(QStringList{QStringLiteral("selvane-web")} + args)) {
    result.text = parser.errorText();
    return result;
  }
  if (parser.isSet(help)) {
    result.outcome = ParseResult::Help;
    result.text = parser.helpText();
    // The usage line, as both forms of the command.
    result.text.replace(0, result.text.indexOf(u'\n'),
                        QStringLiteral("Usage: selvane-web [--listen ADDR:PORT] [--poll MS] DIR...\n"
                                       "       selvane-web [--listen ADDR:PORT] [--poll MS] --settings PATH"));
    return result;
  }
  Options& o = result.options;
  o.listen = parser.value(listen);
  QString host;
  uint16_t port = 0;
  if (!parseListenAddress(o.listen, &host, &port)) {
    result.text = QStringLiteral("--listen wants ADDR:PORT, not \"%1\"").arg(o.listen);
    return result;
  }
  bool ok = false;
  o.pollMs = parser.value(poll).toInt(&ok);
  if (!ok || o.pollMs < kMinPollMs || o.pollMs > kMaxPollMs) {
    result.text = QStringLiteral("--poll wants milliseconds from %1 to %2").arg(kMinPollMs).arg(kMaxPollMs);
    return result;
  }
  o.maxClients = parser.value(maxClients).toUInt(&ok);
  if (!ok || o.maxClients < 1) {
    result.text = QStringLiteral("--max-clients wants a positive number");
    return result;
  }
  o.maxMemoryMiB = parser.value(maxMemory).toUInt(&ok);
  if (!ok || o.maxMemoryMiB < 16 || o.maxMemoryMiB > 65536) {
    result.text = QStringLiteral("--max-memory wants MiB from 16 to 65536");
    return result;
  }
  o.allowedHosts = parser.values(allowHost);
  o.notify = !parser.isSet(noNotify);
  o.usersFile = parser.value(users);
  o.tlsCert = parser.value(tlsCert);
  o.tlsKey = parser.value(tlsKey);
  if (o.tlsCert.isEmpty() != o.tlsKey.isEmpty()) {
    result.text = QStringLiteral("--tls-cert and --tls-key go together");
    return result;
  }
  const QStringList dirs = parser.positionalArguments();
  if (parser.isSet(settings) == !dirs.isEmpty()) {
    result.text = QStringLiteral("give either write directories or --settings PATH (see --help)");
    return result;
  }
  if (parser.isSet(settings)) {
    if (!unitsFromSettings(parser.value(settings), &o.units, &result.text)) return result;
  } else {
    for (const QString& dir : dirs) o.units.push_back({static_cast<int>(o.units.size()) + 1, asDir(dir)});
  }
  result.outcome = ParseResult::Run;
  return result;
}

}  // namespace selvane::web
