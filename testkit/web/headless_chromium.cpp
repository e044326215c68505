#include "testkit/web/headless_chromium.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QStandardPaths>

#include <vector>

extern char** environ;

namespace webtest {

QString HeadlessChromium::executable() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!path.isEmpty()) return path;
  }
  return {};
}

HeadlessChromium::HeadlessChromium(const QStringList& extraArguments) {
  const QString exe = executable();
  if (exe.isEmpty()) return;
  profileDir_ = QDir::tempPath() + QStringLiteral("/web-chromium-%1").arg(::getpid());
  QDir(profileDir_).removeRecursively();
  QDir().mkpath(profileDir_);
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 3);
  posix_spawn_file_actions_adddup2(&actions, out[1], 4);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const QString flags = QStringLiteral(
      "--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking "
      "--disable-component-update --disable-sync --remote-debugging-pipe --window-size=1024,768");
  const QStringList args = QStringList{exe} << flags.split(u' ') << "--user-data-dir=" + profileDir_ << extraArguments
                                            << "about:blank";
  std::vector<QByteArray> local;
  for (const QString& a : args) local.push_back(a.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& a : local) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  toBrowser_ = in[1];
  fromBrowser_ = out[0];
}

HeadlessChromium::~HeadlessChromium() {
  if (pid_ > 0) {
    call(QStringLiteral("Browser.close"), {}, false, 3000);
    int status = 0;
    for (int i = 0; i < 30 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) ::usleep(100 * 1000);
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
  }
  if (toBrowser_ >= 0) ::close(toBrowser_);
  if (fromBrowser_ >= 0) ::close(fromBrowser_);
  if (!profileDir_.isEmpty()) QDir(profileDir_).removeRecursively();
}

QJsonObject HeadlessChromium::call(const QString& method, const QJsonObject& params, bool inTab, int ms) {
  const int id = nextId_++;
  QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
  if (inTab) message["sessionId"] = sessionId_;
  QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact);
  bytes.append('\0');
  if (::write(toBrowser_, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size()) {
    error_ = QStringLiteral("cannot write to chromium");
    return {};
  }
  QDeadlineTimer deadline(ms);
  for (;;) {
    for (qsizetype zero; (zero = pending_.indexOf('\0')) >= 0;) {
      const QJsonObject reply = QJsonDocument::fromJson(pending_.left(zero)).object();
      pending_.remove(0, zero + 1);
      if (reply["id"].toInt() != id) continue;  // events and other replies
      if (reply.contains("error")) error_ = QJsonDocument(reply["error"].toObject()).toJson(QJsonDocument::Compact);
      return reply["result"].toObject();
    }
    pollfd p{fromBrowser_, POLLIN, 0};
    if (deadline.hasExpired() || ::poll(&p, 1, static_cast<int>(deadline.remainingTime())) <= 0) {
      error_ = QStringLiteral("chromium did not answer %1").arg(method);
      return {};
    }
    char chunk[65536];
    const ssize_t n = ::read(fromBrowser_, chunk, sizeof chunk);
    if (n <= 0) {
      error_ = QStringLiteral("chromium closed its pipe");
      return {};
    }
    pending_.append(chunk, n);
  }
}

bool HeadlessChromium::open(const QString& url) {
  // The first answer waits for the browser to start (slow on a cold machine).
  const QString target =
      call(QStringLiteral("Target.createTarget"), {{"url", url}}, false, 30000)["targetId"].toString();
  if (target.isEmpty()) return false;
  sessionId_ =
      call(QStringLiteral("Target.attachToTarget"), {{"targetId", target}, {"flatten", true}}, false)["sessionId"]
          .toString();
  return !sessionId_.isEmpty();
}

QJsonValue HeadlessChromium::evaluate(const QString& expression) {
  const QJsonObject r =
      call(QStringLiteral("Runtime.evaluate"), {{"expression", expression}, {"returnByValue", true}}, true);
  return r["result"].toObject()["value"];
}

}  // namespace webtest
