// The logins of --users FILE: lines "name:hash" with crypt(3) hashes
// (yescrypt "$y$", SHA-crypt "$5$"/"$6$", bcrypt "$2b$"/"$2y$", as mkpasswd,
// openssl passwd or htpasswd -B make them). A request passes with HTTP Basic
// credentials that match a line; every user name and hash is compared in
// constant time, and an unknown name costs a hash too, so timing tells
// nothing about which names exist.
//
// Hashing is slow on purpose, and requests are answered on libmicrohttpd's
// one thread: credentials already judged are remembered (a keyed digest of
// the header, never the password) so a page and its streams pay for one hash.
//
// Threads: load() on the controlling thread before the server starts;
// allows() on libmicrohttpd's thread (a mutex guards the cache anyway).
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace selvane::web {

class Logins {
 public:
  // False with the reason (path and system error, or the bad line's number).
  bool load(const QString& path, QString* error);
  size_t size() const { return users_.size(); }

  // The Authorization header's value (or null): whether it names a user
  // with the right password. `peer` names the client, asked for only when a
  // failure is logged (not on every request).
  using PeerName = std::function<QString()>;
  bool allows(const char* authorization, const PeerName& peer);

  // The challenge of a 401 answer.
  static constexpr char kChallenge[] = "Basic realm=\"Selvane\", charset=\"UTF-8\"";
  // Most verdicts remembered; beyond it the oldest half is forgotten.
  static constexpr size_t kRemembered = 256;

 private:
  struct User {
    QByteArray name;
    QByteArray hash;
  };
  bool verify(const QByteArray& name, const QByteArray& password);
  void logFailure(const QByteArray& name, const PeerName& peer);

  std::vector<User> users_;
  QByteArray dummyHash_;  // hashed for unknown names, as costly as the first user's
  QByteArray cacheKey_;   // random, per process
  std::mutex mutex_;
  std::unordered_map<std::string, bool> verdicts_;  // keyed digest of the header -> allowed
  std::vector<std::string> verdictOrder_;
  int64_t logMinute_ = 0;
  int logged_ = 0;
};

}  // namespace selvane::web
