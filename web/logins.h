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
// Guessing cannot keep that thread hashing: an address whose credentials
// failed kFailuresPerMinute times is refused without a hash until the minute
// ends, and new credentials are hashed for at most `hashBudget` of each
// second (the rest are asked to come back a second later).
//
// Threads: load() on the controlling thread before the server starts;
// allows() on libmicrohttpd's thread (a mutex guards the cache anyway).
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace selvane::web {

class Logins {
 public:
  explicit Logins(std::chrono::milliseconds hashBudget = std::chrono::milliseconds(250)) : hashBudget_(hashBudget) {}

  // False with the reason (path and system error, or the bad line's number).
  bool load(const QString& path, QString* error);
  size_t size() const { return users_.size(); }

  enum class Verdict {
    Allowed,
    Refused,    // no or wrong credentials: 401
    Throttled,  // too many failures from this address this minute: 429
    Busy,       // this second's hashing is spent: 503
  };
  // The Authorization header's value (or null): whether it names a user
  // with the right password. `peer` names the client's address, asked for
  // only when the credentials are not remembered.
  using PeerName = std::function<QString()>;
  Verdict judge(const char* authorization, const PeerName& peer);

  // The challenge of a 401 answer.
  static constexpr char kChallenge[] = "Basic realm=\"Selvane\", charset=\"UTF-8\"";
  // Most verdicts remembered; beyond it the oldest half is forgotten.
  static constexpr size_t kRemembered = 256;
  static constexpr int kFailuresPerMinute = 10;
  // Most addresses whose failures are counted in one minute.
  static constexpr size_t kCountedAddresses = 4096;

 private:
  struct User {
    QByteArray name;
    QByteArray hash;
  };
  bool verify(const QByteArray& name, const QByteArray& password);
  void startMinute();
  void logFailure(const QByteArray& name, const QString& peer);

  std::vector<User> users_;
  QByteArray dummyHash_;  // hashed for unknown names, as costly as the first user's
  QByteArray cacheKey_;   // random, per process
  std::mutex mutex_;
  std::unordered_map<std::string, bool> verdicts_;  // keyed digest of the header -> allowed
  std::vector<std::string> verdictOrder_;
  // This minute: failures logged, addresses throttled and logged (at most
  // five), failures by address.
  int64_t minute_ = 0;
  int logged_ = 0;
  int throttlesLogged_ = 0;
  std::unordered_map<std::string, int> failures_;
  // Hashing time this second.
  std::chrono::milliseconds hashBudget_;
  std::chrono::steady_clock::time_point hashSecond_;
  std::chrono::steady_clock::duration hashedThisSecond_{};
};

}  // namespace selvane::web
