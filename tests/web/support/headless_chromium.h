// Debian's chromium, headless, driven over its DevTools pipe (file
// descriptors 3 and 4, one JSON message per NUL-terminated record): no
// WebSocket and no port of its own.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace webtest {

class HeadlessChromium {
 public:
  // The executable, or empty when chromium is not installed.
  static QString executable();

  // `extraArguments`: more command-line switches (a trusted certificate key).
  explicit HeadlessChromium(const QStringList& extraArguments = {});
  ~HeadlessChromium();
  HeadlessChromium(const HeadlessChromium&) = delete;
  HeadlessChromium& operator=(const HeadlessChromium&) = delete;

  bool running() const { return pid_ > 0; }
  // Opens `url` in a new tab and attaches to it.
  bool open(const QString& url);
  // Evaluates `expression` in the tab; its value (JSON-able) or null.
  QJsonValue evaluate(const QString& expression);
  QString error() const { return error_; }

 private:
  QJsonObject call(const QString& method, const QJsonObject& params, bool inTab, int ms = 10000);

  pid_t pid_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  int nextId_ = 1;
  QString sessionId_;
  QString profileDir_;
  QByteArray pending_;
  QString error_;
};

}  // namespace webtest
