// What a site uses to watch its stations from afar, with real clients and
// Debian's Prometheus tools: the metrics page checked by promtool, the
// systemd notifications through a real datagram socket, logins over HTTPS
// with curl and Qt's network classes.
#include "logins.h"
#include "testkit/files.h"
#include "testkit/web/raw_client.h"
#include "testkit/web/test_credentials.h"
#include "testkit/web/web_fixture.h"
#include "tls.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAuthenticator>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

using namespace webtest;

namespace {

// promtool's verdict on a metrics text; empty when it is well formed.
QString promtoolComplaints(const QByteArray& text) {
  QProcess p;
  p.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
  p.write(text);
  p.closeWriteChannel();
  if (!p.waitForFinished(10000)) return QStringLiteral("promtool did not finish");
  // Lint remarks (naming advice) are not format errors; exit status 3 is lint.
  return p.exitCode() == 0 || p.exitCode() == 3 ? QString() : QString::fromUtf8(p.readAllStandardError());
}

double seriesValue(const QByteArray& text, const QByteArray& series) {
  for (const QByteArray& line : text.split('\n'))
    if (line.startsWith(series + ' ')) return line.mid(series.size() + 1).toDouble();
  return -1;
}

}  // namespace

TEST(WebWatch, MetricsFollowUnitsAndStreamsInTheTextFormat) {
  RunningServer s(2);
  ASSERT_TRUE(s.publish(1, testJpeg(1), true, QStringLiteral("一")));
  RawClient stream(s.port());
  ASSERT_TRUE(stream.send("GET /units/1/stream HTTP/1.0\r\n\r\n"));
  ASSERT_TRUE(stream.readUntil([](const QByteArray& b) { return b.count("--selvaneframe") >= 2; }, 3000));

  const Reply r = httpGet(s.port(), "/metrics");
  ASSERT_EQ(r.status, 200);
  EXPECT_TRUE(r.headers.contains("text/plain; version=0.0.4")) << r.headers.constData();
  EXPECT_EQ(seriesValue(r.body, "selvane_unit_up{unit=\"1\"}"), 1);
  EXPECT_EQ(seriesValue(r.body, "selvane_unit_up{unit=\"2\"}"), 0) << "no picture yet";
  EXPECT_EQ(seriesValue(r.body, "selvane_unit_pictures_total{unit=\"1\"}"), 1);
  EXPECT_GT(seriesValue(r.body, "selvane_unit_last_picture_timestamp_seconds{unit=\"1\"}"), 1.7e9);
  EXPECT_EQ(seriesValue(r.body, "selvane_unit_stale{unit=\"1\"}"), 0);
  EXPECT_EQ(seriesValue(r.body, "selvane_web_clients{kind=\"stream\"}"), 1);
  EXPECT_EQ(seriesValue(r.body, "selvane_web_stream_parts_sent_total"), 1);
  if (QStandardPaths::findExecutable(QStringLiteral("promtool")).isEmpty())
    GTEST_SKIP() << "promtool is not installed (scripts/setup.sh installs prometheus)";
  EXPECT_EQ(promtoolComplaints(r.body), QString()) << r.body.constData();

  QProcess rules;
  rules.start(QStringLiteral("promtool"),
              {QStringLiteral("check"), QStringLiteral("rules"),
               qEnvironmentVariable("SV_SOURCE_DIR") + QStringLiteral("/packaging/prometheus/selvane.rules.yml")});
  ASSERT_TRUE(rules.waitForFinished(10000));
  EXPECT_EQ(rules.exitCode(), 0) << rules.readAllStandardOutput().constData()
                                 << rules.readAllStandardError().constData();
}

// The real program under a fake systemd: a datagram socket in place of
// /run/systemd/notify, a watchdog of 200 ms, then SIGTERM.
TEST(WebWatch, TellsSystemdReadyWatchdogAndStopping) {
  QTemporaryDir tmp;
  QDir(tmp.path()).mkpath("unit1");
  const QByteArray socketPath = QFile::encodeName(tmp.path() + "/notify");
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(static_cast<size_t>(socketPath.size()), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.constData(), static_cast<size_t>(socketPath.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("NOTIFY_SOCKET", QString::fromUtf8(socketPath));
  env.insert("WATCHDOG_USEC", "200000");
  program.setProcessEnvironment(env);
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  program.start(qEnvironmentVariable("SV_OUT_DIR") + "/selvane-web",
                {"--listen", "127.0.0.1:0", "--poll", "50", tmp.path() + "/unit1"});
  ASSERT_TRUE(program.waitForStarted());

  // Messages in order until `last` arrives (or 5 s pass).
  auto receiveUntil = [fd](const QByteArray& last) {
    QList<QByteArray> got;
    const int64_t end = nowMs() + 5000;
    while (nowMs() < end && (got.isEmpty() || !got.back().startsWith(last))) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[512];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) got.append(QByteArray(buffer, static_cast<qsizetype>(n)));
    }
    return got;
  };
  const QList<QByteArray> start = receiveUntil("READY=1");
  ASSERT_FALSE(start.isEmpty());
  EXPECT_TRUE(start.back().contains("STATUS=serving 1 unit(s)")) << start.back().constData();
  const int64_t readyAt = nowMs();
  QList<QByteArray> beats;
  while (nowMs() - readyAt < 700) beats += receiveUntil("WATCHDOG=1");
  EXPECT_GE(beats.count("WATCHDOG=1"), 4) << "half of the 200 ms watchdog, from the watcher thread";
  program.terminate();
  const QList<QByteArray> end = receiveUntil("STOPPING=1");
  ASSERT_FALSE(end.isEmpty());
  EXPECT_EQ(end.back(), "STOPPING=1");
  ASSERT_TRUE(program.waitForFinished(5000));
  EXPECT_EQ(program.exitCode(), 0);
  ::close(fd);
}

namespace {

// curl over HTTPS trusting only the test certificate: status and headers.
QByteArray curl(const Credentials& c, uint16_t port, const QString& path, const QString& user = {}) {
  QStringList args{
      "-s", "-i", "--max-time", "5", "--cacert", c.cert, QStringLiteral("https://127.0.0.1:%1%2").arg(port).arg(path)};
  if (!user.isEmpty()) args << "-u" << user;
  QProcess p;
  p.start("curl", args);
  p.waitForFinished(10000);
  return p.readAllStandardOutput();
}

QStringList failedLogins;
void keepLoginLines(QtMsgType, const QMessageLogContext&, const QString& text) {
  if (text.contains("login:")) failedLogins << text;
}

}  // namespace

TEST(WebWatch, LoginsOverHttpsWithCurlAndQt) {
  Credentials c;
  ASSERT_TRUE(c.made) << "openssl could not make the test certificate";
  selvane::web::Logins logins;
  QString error;
  ASSERT_TRUE(logins.load(c.users, &error)) << qPrintable(error);
  ASSERT_EQ(logins.size(), 4u);
  selvane::web::HttpServer::Options options;
  options.logins = &logins;
  options.headerDeadlineMs = 2000;
  ASSERT_TRUE(selvane::web::readPem(c.cert, &options.tlsCert, &error) &&
              selvane::web::readPem(c.key, &options.tlsKey, &error));
  RunningServer s(1, options);
  // A handshake that stalls is held to the header deadline, not the idle time-out.
  RawClient stalled(s.port());
  ASSERT_TRUE(stalled.send("\x16\x03\x01"));
  ASSERT_TRUE(s.publish(1, testJpeg(4), true, QStringLiteral("四")));

  const QByteArray refused = curl(c, s.port(), "/units/1/latest");
  EXPECT_TRUE(refused.startsWith("HTTP/1.1 401")) << refused.left(200).constData();
  EXPECT_TRUE(refused.contains("WWW-Authenticate: Basic realm=\"Selvane\", charset=\"UTF-8\"\r\n"));
  for (const char* path : {"/", "/metrics", "/units", "/units/1/stream", "/events", "/nothing"})
    EXPECT_TRUE(curl(c, s.port(), path, "yes:wrong").startsWith("HTTP/1.1 401")) << path;
  for (const char* user : {"sha512:pw-6", "sha256:pw-5", "yes:pw-y", "bcrypt:pw-2b"})
    EXPECT_TRUE(curl(c, s.port(), "/metrics", user).startsWith("HTTP/1.1 200")) << user;
  EXPECT_TRUE(curl(c, s.port(), "/units", "sha256:pw-6").startsWith("HTTP/1.1 401")) << "another user's password";
  EXPECT_TRUE(httpGet(s.port(), "/units").status == 0) << "no plain HTTP on an HTTPS port";
  EXPECT_FALSE(stalled.readFor(10000)) << "still open long after its header deadline";

  // Qt's client, trusting the certificate, logging in when challenged.
  QNetworkAccessManager nam;
  QObject::connect(&nam, &QNetworkAccessManager::authenticationRequired, [](QNetworkReply*, QAuthenticator* a) {
    a->setUser("yes");
    a->setPassword("pw-y");
  });
  QNetworkRequest request(QUrl(QStringLiteral("https://127.0.0.1:%1/units/1/latest").arg(s.port())));
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setCaCertificates(QSslCertificate::fromPath(c.cert));
  request.setSslConfiguration(tls);
  std::unique_ptr<QNetworkReply> reply(nam.get(request));
  waitUntil([&] { return reply->isFinished(); }, 10000);
  EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200)
      << qPrintable(reply->errorString());
  EXPECT_EQ(reply->readAll(), testJpeg(4));

  // Guessing: an address is judged ten times a minute, then refused without
  // a check (a browser already logged in from it goes on); the log says so
  // once and names at most ten failures.
  using Verdict = selvane::web::Logins::Verdict;
  failedLogins.clear();
  const QtMessageHandler previous = qInstallMessageHandler(keepLoginLines);
  const auto guesser = [] { return QStringLiteral("192.0.2.1"); };
  const auto basic = [](const QByteArray& pair) { return "Basic " + pair.toBase64(); };
  for (int i = 0; i < 14; ++i)
    EXPECT_EQ(logins.judge(basic("sha512:guess" + QByteArray::number(i)), guesser),
              i < selvane::web::Logins::kFailuresPerMinute ? Verdict::Refused : Verdict::Throttled)
        << i;
  qInstallMessageHandler(previous);
  EXPECT_EQ(logins.judge(basic("yes:pw-y"), guesser), Verdict::Allowed) << "remembered from before";
  const QByteArray fresh = "Basic  " + QByteArray("bcrypt:pw-2b").toBase64();
  EXPECT_EQ(logins.judge(fresh, guesser), Verdict::Throttled);
  EXPECT_EQ(logins.judge(fresh, [] { return QStringLiteral("192.0.2.2"); }), Verdict::Allowed);
  ASSERT_LE(failedLogins.filter("failed for").size(), 10) << qPrintable(failedLogins.join('\n'));
  EXPECT_TRUE(failedLogins.front().contains("\"sha512\" from 192.0.2.1")) << qPrintable(failedLogins.front());
  EXPECT_EQ(failedLogins.filter("192.0.2.1 this minute; its logins are refused").size(), 1);

  // Hashing is kept to its share of each second; what is remembered is not.
  selvane::web::Logins tight(std::chrono::milliseconds(1));
  ASSERT_TRUE(tight.load(c.users, &error));
  EXPECT_EQ(tight.judge(basic("yes:pw-y"), guesser), Verdict::Allowed);
  EXPECT_EQ(tight.judge(basic("yes:pw-x"), guesser), Verdict::Busy);
  EXPECT_EQ(tight.judge(basic("yes:pw-y"), guesser), Verdict::Allowed);

  const QString bad = c.dir.path() + "/bad";
  ASSERT_TRUE(testkit::writeFile(bad, "ok:" + Credentials::xcrypt("$y$", "x") + "\nplain:secret\n"));
  selvane::web::Logins refusedFile;
  EXPECT_FALSE(refusedFile.load(bad, &error));
  EXPECT_TRUE(error.endsWith(":2: not \"name:hash\" with a crypt(3) hash ($y$, $5$, $6$, $2b$)")) << qPrintable(error);
}
