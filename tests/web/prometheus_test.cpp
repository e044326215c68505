// Debian's Prometheus server scraping the real selvane-web over HTTPS with a
// login, with the shipped alert rules, until SelvaneUnitStale fires for the
// unit whose pictures stopped (and only for it).
#include "testkit/files.h"
#include "testkit/web/publish_picture.h"
#include "testkit/web/raw_client.h"
#include "testkit/web/test_credentials.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <thread>

using namespace webtest;

namespace {

struct Child : QProcess {
  ~Child() override {
    terminate();
    if (!waitForFinished(5000)) kill();
    waitForFinished(1000);
  }
};

}  // namespace

TEST(WebPrometheus, StaleAlertFiresForTheUnitThatStopped) {
  if (QStandardPaths::findExecutable("prometheus").isEmpty())
    GTEST_SKIP() << "prometheus is not installed (scripts/setup.sh installs it)";
  Credentials c;
  ASSERT_TRUE(c.made);
  QTemporaryDir tmp;
  const QString units[2] = {tmp.path() + "/unit1/", tmp.path() + "/unit2/"};
  for (const QString& u : units) QDir().mkpath(u);

  // Unit 1 publishes every 400 ms throughout; unit 2 five times, then stops.
  // A jthread: a failed assertion below still stops and joins it.
  std::jthread station([&](std::stop_token stop) {
    for (int i = 0; !stop.stop_requested(); ++i) {
      publishPicture(units[0], testJpeg(2 * i), true, QString::number(i));
      if (i < 5) publishPicture(units[1], testJpeg(2 * i + 1), true, QString::number(i));
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
  });

  const uint16_t webPort = freePort(), promPort = freePort();
  Child web;
  web.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  web.start(qEnvironmentVariable("SV_OUT_DIR") + "/selvane-web",
            {"--listen", QStringLiteral("127.0.0.1:%1").arg(webPort), "--poll", "50", "--users", c.users, "--tls-cert",
             c.cert, "--tls-key", c.key, units[0], units[1]});
  ASSERT_TRUE(web.waitForStarted());

  const QString config = tmp.path() + "/prometheus.yml";
  ASSERT_TRUE(testkit::writeFile(config, QStringLiteral(R"(global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files: ["%1/packaging/prometheus/selvane.rules.yml"]
scrape_configs:
  - job_name: selvane
    scheme: https
    tls_config: {ca_file: "%2"}
    basic_auth: {username: "yes", password: "pw-y"}
    static_configs: [{targets: ["127.0.0.1:%3"]}]
)")
                                             .arg(qEnvironmentVariable("SV_SOURCE_DIR"), c.cert)
                                             .arg(webPort)
                                             .toUtf8()));
  Child prometheus;
  prometheus.setProcessChannelMode(QProcess::MergedChannels);
  prometheus.start("prometheus", {"--config.file=" + config, "--storage.tsdb.path=" + tmp.path() + "/tsdb",
                                  QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(promPort)});
  ASSERT_TRUE(prometheus.waitForStarted());

  // The shipped rule holds 10 s after the reader calls unit 2 stale (3 s
  // after its last picture): firing within 40 s, or something is wrong.
  QJsonArray alerts;
  bool firing = false, scraped = false;
  const int64_t end = nowMs() + 40000;
  while (!firing && nowMs() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Reply targets = httpGet(promPort, "/api/v1/targets");
    scraped = scraped || targets.body.contains("\"health\":\"up\"");
    alerts = QJsonDocument::fromJson(httpGet(promPort, "/api/v1/alerts").body)
                 .object()["data"]
                 .toObject()["alerts"]
                 .toArray();
    for (const QJsonValue& a : alerts) firing = firing || a["state"].toString() == "firing";
  }
  station.request_stop();
  station.join();
  EXPECT_TRUE(scraped) << "Prometheus never scraped selvane-web over HTTPS with the login\n"
                       << prometheus.readAll().right(3000).constData();
  ASSERT_TRUE(firing) << qPrintable(QJsonDocument(alerts).toJson());
  for (const QJsonValue& a : alerts) {
    const QJsonObject labels = a["labels"].toObject();
    EXPECT_EQ(labels["alertname"].toString(), "SelvaneUnitStale");
    EXPECT_EQ(labels["unit"].toString(), "2") << "unit 1 kept publishing";
    EXPECT_TRUE(a["annotations"].toObject()["summary_ja"].toString().contains(QStringLiteral("2号機")));
  }
}
