// The command line of selvane-web:
//   selvane-web [--listen ADDR:PORT] [--poll MS] DIR...
//   selvane-web [--listen ADDR:PORT] [--poll MS] --settings PATH
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace selvane::web {

struct UnitSource {
  int number;          // in URLs and on the page
  QString dir;         // ends in '/'
  int intervalMs = 0;  // from the settings file; 0 for a DIR argument
};

struct Options {
  QString listen = QStringLiteral("127.0.0.1:8080");
  int pollMs = 200;
  bool notify = true;
  unsigned maxClients = 512;
  unsigned maxMemoryMiB = 256;  // pictures held by clients
  QStringList allowedHosts;     // Host names accepted besides loopback's own
  QString usersFile;            // --users: logins required
  QString tlsCert, tlsKey;      // --tls-cert/--tls-key: HTTPS
  std::vector<UnitSource> units;
};

struct ParseResult {
  enum Outcome { Run, Help, Error } outcome = Error;
  Options options;
  QString text;  // the help text, or what is wrong with the command line
};

// `args` without the program name.
ParseResult parseCommandLine(const QStringList& args);

// The units of a selvanedir.ini that are in use and saving, numbered as the
// station numbers them (1 to 6). False with the reason when the file cannot
// be read.
bool unitsFromSettings(const QString& path, std::vector<UnitSource>* units, QString* error);

}  // namespace selvane::web
