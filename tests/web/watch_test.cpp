// What a site uses to watch its stations from afar, with real clients and
// Debian's Prometheus tools: the metrics page checked by promtool.
#include "publish_picture.h"
#include "raw_client.h"
#include "web_fixture.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

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
  ASSERT_TRUE(s.started);
  ASSERT_TRUE(publishPicture(s.dirs[0], testJpeg(1), true, QStringLiteral("一")));
  ASSERT_TRUE(s.waitForPicture(1, 1));
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
  rules.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("rules"), qEnvironmentVariable("SV_SOURCE_DIR") + QStringLiteral("/packaging/prometheus/selvane.rules.yml")});
  ASSERT_TRUE(rules.waitForFinished(10000));
  EXPECT_EQ(rules.exitCode(), 0) << rules.readAllStandardOutput().constData() << rules.readAllStandardError().constData();
}
