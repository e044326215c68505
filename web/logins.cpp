#include "logins.h"

#include <crypt.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QtDebug>

#include <ctime>

namespace selvane::web {

namespace {

// Equal in time that depends only on the lengths.
bool sameBytes(const QByteArray& a, const QByteArray& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  const qsizetype n = std::min(a.size(), b.size());
  for (qsizetype i = 0; i < n; ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// crypt_r of the phrase with the stored hash as setting; empty on failure
// (unknown or damaged hash: libxcrypt answers "*0" or "*1").
QByteArray hashWith(const QByteArray& password, const QByteArray& setting) {
  auto data = std::make_unique<crypt_data>();
  const char* out = crypt_r(password.constData(), setting.constData(), data.get());
  if (!out || out[0] == '*') return {};
  return QByteArray(out);
}

// A name as a client sent it, safe for one log line.
QByteArray printable(const QByteArray& name) {
  QByteArray out = name.left(64);
  for (char& ch : out)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f || ch == '"') ch = '?';
  return name.size() > 64 ? out + "..." : out;
}

}  // namespace

bool Logins::load(const QString& path, QString* error) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("%1: %2").arg(
        path, QFileInfo::exists(path) ? file.errorString() : QStringLiteral("No such file"));
    return false;
  }
  int lineNumber = 0;
  while (!file.atEnd()) {
    const QByteArray line = file.readLine(64 * 1024).trimmed();
    ++lineNumber;
    if (line.isEmpty() || line.startsWith('#')) continue;
    const qsizetype colon = line.indexOf(':');
    User u{line.left(colon), line.mid(colon + 1)};
    // A hash libxcrypt cannot use would refuse its user for ever: say so
    // now. Only the "$id$" kinds: a password written in clear would
    // otherwise pass for an old DES hash.
    if (colon <= 0 || !u.hash.startsWith('$') || hashWith("x", u.hash).isEmpty()) {
      *error = QStringLiteral("%1:%2: not \"name:hash\" with a crypt(3) hash ($y$, $5$, $6$, $2b$)")
                   .arg(path)
                   .arg(lineNumber);
      return false;
    }
    users_.push_back(std::move(u));
  }
  if (users_.empty()) {
    *error = QStringLiteral("%1: no user in it").arg(path);
    return false;
  }
  dummyHash_ = hashWith(QByteArray::number(QRandomGenerator::system()->generate64()), users_.front().hash);
  cacheKey_.resize(32);
  QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(cacheKey_.data()), 8);
  return true;
}

bool Logins::verify(const QByteArray& name, const QByteArray& password) {
  // Every user's name is compared, and one hash is always computed.
  const User* found = nullptr;
  for (const User& u : users_)
    if (sameBytes(u.name, name) && !found) found = &u;
  const QByteArray& stored = found ? found->hash : dummyHash_;
  const QByteArray computed = hashWith(password, stored);
  return sameBytes(computed, stored) && found != nullptr && !computed.isEmpty();
}

Logins::Verdict Logins::judge(const char* authorization, const PeerName& peer) {
  const QByteArray header(authorization ? authorization : "");
  const bool basic = header.startsWith("Basic ");
  const std::string key =
      basic ? QMessageAuthenticationCode::hash(header, cacheKey_, QCryptographicHash::Sha256).toStdString() : "";
  std::lock_guard lock(mutex_);
  startMinute();
  if (!basic) {
    if (!header.isEmpty()) logFailure("(not Basic)", peer());
    return Verdict::Refused;
  }
  if (auto it = verdicts_.find(key); it != verdicts_.end()) return it->second ? Verdict::Allowed : Verdict::Refused;

  const QString address = peer();
  const std::string addressKey = address.toStdString();
  if (const auto it = failures_.find(addressKey); it != failures_.end() && it->second >= kFailuresPerMinute)
    return Verdict::Throttled;
  const auto started = std::chrono::steady_clock::now();
  if (started - hashSecond_ >= std::chrono::seconds(1)) {
    hashSecond_ = started;
    hashedThisSecond_ = {};
  }
  if (hashedThisSecond_ >= hashBudget_) return Verdict::Busy;

  const auto decoded = QByteArray::fromBase64Encoding(header.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
  const QByteArray& pair = decoded.decoded;
  const qsizetype colon = decoded ? pair.indexOf(':') : -1;
  const QByteArray name = colon > 0 ? pair.left(colon) : QByteArray();
  const bool ok = colon > 0 && verify(name, pair.mid(colon + 1));
  hashedThisSecond_ += std::chrono::steady_clock::now() - started;
  if (!ok) {
    logFailure(name.isEmpty() ? QByteArray("(malformed)") : name, address);
    if (failures_.size() < kCountedAddresses || failures_.count(addressKey) != 0) {
      if (++failures_[addressKey] == kFailuresPerMinute && ++throttlesLogged_ <= 5)
        qWarning("login: %d failed logins from %s this minute; its logins are refused until the minute ends",
                 kFailuresPerMinute, qUtf8Printable(address));
    }
  }
  if (verdicts_.size() >= kRemembered) {
    for (size_t i = 0; i < verdictOrder_.size() / 2; ++i) verdicts_.erase(verdictOrder_[i]);
    verdictOrder_.erase(verdictOrder_.begin(),
                        verdictOrder_.begin() + static_cast<std::ptrdiff_t>(verdictOrder_.size() / 2));
  }
  verdicts_.emplace(key, ok);
  verdictOrder_.push_back(key);
  return ok ? Verdict::Allowed : Verdict::Refused;
}

// Failures are counted and logged per minute: at a new one, what the last
// did not log is summed up and every address starts afresh.
void Logins::startMinute() {
  const int64_t minute = static_cast<int64_t>(std::time(nullptr) / 60);
  if (minute == minute_) return;
  if (logged_ > 10) qWarning("login: %d more failed logins in the last minute", logged_ - 10);
  minute_ = minute;
  logged_ = 0;
  failures_.clear();
  throttlesLogged_ = 0;
}

// A request without credentials is how every browser starts: not logged.
// Wrong ones are, at most ten a minute, so guessing cannot flood the log.
void Logins::logFailure(const QByteArray& name, const QString& peer) {
  if (++logged_ <= 10)
    qWarning("login: failed for \"%s\" from %s%s", printable(name).constData(), qUtf8Printable(peer),
             logged_ == 10 ? " (more this minute not logged)" : "");
}

}  // namespace selvane::web
