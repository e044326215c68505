// The HTTP server with real clients: Qt's HTTP client for pictures and
// revalidation, raw sockets for streams and hostile requests, GStreamer's
// MJPEG client for the stream.
#include "picture.h"
#include "testkit/web/publish_picture.h"
#include "testkit/web/raw_client.h"
#include "testkit/web/web_fixture.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>

#include <deque>
#include <memory>

using namespace webtest;

namespace {

struct QtReply {
  int status = 0;
  QByteArray body;
  QByteArray type, etag, modified;
};

QtReply qtGet(uint16_t port, const QString& path, const QList<std::pair<QByteArray, QByteArray>>& headers = {}) {
  QNetworkAccessManager nam;
  QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  for (const auto& [name, value] : headers) request.setRawHeader(name, value);
  std::unique_ptr<QNetworkReply> reply(nam.get(request));
  waitUntil([&] { return reply->isFinished(); }, 5000);
  return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
          reply->rawHeader("Content-Type"), reply->rawHeader("ETag"), reply->rawHeader("Last-Modified")};
}

const QByteArray kEventsRequest = "GET /events HTTP/1.0\r\n\r\n";

QByteArray streamRequest(int unit) {
  return QByteArray("GET /units/") + QByteArray::number(unit) + "/stream HTTP/1.0\r\n\r\n";
}

}  // namespace

TEST(WebServer, PicturesRevalidateConvertAndDescribeTheirUnit) {
  RunningServer s(2);
  const QByteArray jpeg = testJpeg(1);
  const QByteArray bmp = testPlanarBmp(160, 124, 90);
  ASSERT_TRUE(s.publish(1, jpeg, true, QStringLiteral("2026/12/08 10:00:00 ")));
  ASSERT_TRUE(s.publish(2, bmp, false, QStringLiteral("表示エラー")));

  QtReply r = qtGet(s.port(), "/units/1/latest");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.type, "image/jpeg");
  EXPECT_EQ(r.body, jpeg);
  ASSERT_FALSE(r.etag.isEmpty());
  EXPECT_EQ(qtGet(s.port(), "/units/1/latest", {{"If-None-Match", r.etag}}).status, 304);
  EXPECT_EQ(qtGet(s.port(), "/units/1/latest", {{"If-Modified-Since", r.modified}}).status, 304);

  ASSERT_TRUE(s.publish(1, testJpeg(2)));
  const QtReply changed = qtGet(s.port(), "/units/1/latest", {{"If-None-Match", r.etag}});
  EXPECT_EQ(changed.status, 200) << "an old tag must not hide a new picture";
  EXPECT_EQ(changed.body, testJpeg(2));

  r = qtGet(s.port(), "/units/2/latest");
  EXPECT_EQ(r.type, "image/bmp");
  EXPECT_EQ(r.body, bmp);
  const QtReply converted = qtGet(s.port(), "/units/2/latest.jpg");
  EXPECT_EQ(converted.type, "image/jpeg");
  int w = 0, h = 0;
  EXPECT_TRUE(selvane::publication::isCompleteJpeg(converted.body, &w, &h));
  EXPECT_EQ(w * 1000 + h, 160124);
  EXPECT_NE(converted.etag, r.etag) << "the JPEG and the BMP are different representations";
  EXPECT_EQ(qtGet(s.port(), "/units/2/latest.jpg", {{"If-None-Match", converted.etag}}).status, 304);

  const QJsonArray units = QJsonDocument::fromJson(qtGet(s.port(), "/units").body).array();
  ASSERT_EQ(units.size(), 2);
  const QJsonObject u2 = units[1].toObject();
  const QJsonObject expected{{"unit", 2},        {"format", "bmp"},
                             {"state", 0},       {"text", "表示エラー"},
                             {"readable", true}, {"written", QJsonArray{true, false}}};
  QJsonObject shown;  // the same fields of unit 2, for a readable comparison
  for (const QString& key : expected.keys()) shown[key] = u2[key];
  EXPECT_EQ(QJsonDocument(shown).toJson().toStdString(), QJsonDocument(expected).toJson().toStdString());
  EXPECT_EQ(QJsonDocument::fromJson(qtGet(s.port(), "/units/1").body).object()["newestSlot"].toInt(), 1);
}

// Every publication gives exactly one part, the picture's exact bytes, with
// the boundary right behind it; a stream of another unit gets none of them.
TEST(WebServer, StreamSendsOneCompletePartPerPublication) {
  RunningServer s(2);
  std::vector<QByteArray> pictures;
  for (int i = 0; i < 6; ++i) pictures.push_back(testJpeg(i + 10, 320, 240));
  ASSERT_TRUE(s.publish(1, pictures[0]) && s.publish(2, testJpeg(99)));

  RawClient one(s.port()), two(s.port());
  ASSERT_TRUE(one.send(streamRequest(1)) && two.send(streamRequest(2)));
  ASSERT_TRUE(one.readUntil([&](const QByteArray&) { return one.parts().size() == 1; }, 2000))
      << "the first part comes at once";
  EXPECT_NE(one.buffer.indexOf("multipart/x-mixed-replace;boundary=selvaneframe"), -1);
  for (size_t i = 1; i < pictures.size(); ++i) {
    ASSERT_TRUE(publishPicture(s.dirs[0], pictures[i], true, QString::number(i)));
    ASSERT_TRUE(one.readUntil([&](const QByteArray&) { return one.parts().size() == i + 1; }, 2000)) << i;
  }
  one.readFor(150);
  two.readFor(50);
  const auto parts = one.parts();
  ASSERT_EQ(parts.size(), pictures.size()) << "one part per publication, no repeats";
  for (size_t i = 0; i < parts.size(); ++i) EXPECT_TRUE(parts[i] == pictures[i]) << "part " << i;
  EXPECT_EQ(two.parts().size(), 1u);
}

// A stock MJPEG client (GStreamer's HTTP source, multipart demuxer and JPEG
// decoder) decodes the stream.
TEST(WebServer, GStreamerPlaysTheStream) {
  const QString launcher = QStandardPaths::findExecutable("gst-launch-1.0");
  if (launcher.isEmpty()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
  RunningServer s(1);
  ASSERT_TRUE(s.publish(1, testJpeg(1, 320, 240)));
  QProcess gst;
  gst.start(launcher, {"-q", "souphttpsrc", QStringLiteral("location=http://127.0.0.1:%1/units/1/stream").arg(s.port()),
                       "!", "multipartdemux", "!", "jpegdec", "!", "identity", "eos-after=3", "!", "fakesink"});
  ASSERT_TRUE(gst.waitForStarted());
  // Publishes until the client has decoded three frames (its first start
  // builds GStreamer's plugin registry, which takes a while on a busy machine).
  for (int i = 2; i <= 150 && gst.state() == QProcess::Running; ++i) {
    publishPicture(s.dirs[0], testJpeg(i, 320, 240), true, QString::number(i));
    gst.waitForFinished(200);
  }
  ASSERT_EQ(gst.state(), QProcess::NotRunning) << "no three frames decoded";
  EXPECT_EQ(gst.exitCode(), 0) << gst.readAllStandardError().constData();
}

// Hostile and careless clients: huge headers, paths that try to leave the
// units, other methods, connections that trickle headers, stream clients
// that never read while large pictures are published at speed. Others keep
// being served promptly, and stalled streams hold no backlog.
TEST(WebServer, HostileClientsLeaveOthersServed) {
  RunningServer s(1);
  const QByteArray big = testJpeg(5, 1600, 1200);
  ASSERT_TRUE(s.publish(1, big));

  std::deque<RawClient> trickling, stalled;
  for (int i = 0; i < 40; ++i) trickling.emplace_back(s.port(), "GET /units HTTP/1.1\r\nHost: x\r\nX-Slow: ");
  for (int i = 0; i < 5; ++i) stalled.emplace_back(s.port(), streamRequest(1), 4096);

  httpGet(s.port(), "/units", "X-Big: " + QByteArray(200 * 1024, 'a') + "\r\n");  // refused or cut off
  for (const char* path :
       {"/../../etc/passwd", "/units/1/../../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/units/01/latest",
        "/units/2/latest", "/units/0", "/units/-1", "/units/1/latest/", "/units/99999999999999999999/latest",
        "/units/1/cap0.jpg", "/units/1/latest.jpg%00", "/cap.ctl", "/units/1/stream/../latest"})
    EXPECT_EQ(httpGet(s.port(), path).status, 404) << path;
  RawClient post(s.port(), "POST /units HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc");
  post.readUntilClosed(2000);
  EXPECT_EQ(post.status(), 405);

  RawClient live(s.port(), streamRequest(1));
  int64_t slowest = 0;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(publishPicture(s.dirs[0], testJpeg(100 + i, 1600, 1200), true, QString::number(i)));
    const int64_t start = nowMs();
    const Reply r = httpGet(s.port(), "/units/1", {}, 2000);
    EXPECT_EQ(r.status, 200);
    slowest = std::max(slowest, nowMs() - start);
    live.readFor(10);
  }
  EXPECT_LT(slowest, 1000) << "a request waited behind stalled clients";
  const QByteArray newest = testJpeg(119, 1600, 1200);
  ASSERT_TRUE(s.waitForBytes(1, newest));
  const auto showsNewest = [&](const QByteArray&) { return !live.parts().empty() && live.parts().back() == newest; };
  EXPECT_TRUE(live.readUntil(showsNewest, 3000)) << "the live stream reaches the newest";

  // A stalled stream that starts reading again gets at most what was in
  // flight plus the newest picture, not the pictures it missed.
  RawClient& late = stalled.front();
  late.readUntilClosed(500);
  EXPECT_LT(late.buffer.size(), 4 * big.size()) << "a stalled client was sent a backlog";
}

// Clients that wait for a picture that does not come, then hang up: their
// places are freed without waiting for the unit's next picture.
TEST(WebServer, WaitingClientsThatHangUpAreLetGo) {
  RunningServer s(1);
  {
    std::deque<RawClient> waiting;
    for (int i = 0; i < 20; ++i) waiting.emplace_back(s.port(), i % 2 ? streamRequest(1) : kEventsRequest);
    EXPECT_TRUE(waitFor([&] { return s.server->connections() >= 20; }, 3000, 10)) << s.server->connections();
  }
  EXPECT_TRUE(waitFor([&] { return s.server->connections() == 0; }, 3000, 10)) << s.server->connections();
}

TEST(WebServer, StopEndsOpenStreamsAndFeeds) {
  RunningServer s(1);
  RawClient stream(s.port(), streamRequest(1)), feed(s.port(), kEventsRequest);
  ASSERT_TRUE(feed.readUntil([](const QByteArray& b) { return b.contains("event: units"); }, 2000));
  stream.readFor(100);
  const int64_t start = nowMs();
  s.server->stop();
  EXPECT_LT(nowMs() - start, 2000);
  EXPECT_FALSE(stream.readFor(500)) << "the stream is closed";
  EXPECT_FALSE(feed.readFor(500)) << "the feed is closed";
}

// Slow stream clients each keep the picture they started on: together they
// stay within the memory budget, clients past it are turned away (the stream
// ends, /latest answers 503), and the budget is whole again once they go.
TEST(WebServer, SlowClientsHoldPicturesWithinTheMemoryBudget) {
  constexpr size_t kBudget = 3 << 20;
  RunningServer s(1, {.maxMemory = kBudget});
  std::deque<RawClient> stalled;
  for (int i = 0; i < 6; ++i) {
    const QByteArray picture = paddedJpeg(i, 900 * 1024);
    ASSERT_TRUE(publishPicture(s.dirs[0], picture, true, "x"));
    ASSERT_TRUE(s.waitForBytes(1, picture));
    stalled.emplace_back(s.port(), streamRequest(1), 4096);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(s.server->picturesHeld(), kBudget);
  }
  EXPECT_GE(s.server->picturesHeld(), size_t(2) * 900 * 1024) << "stalled clients hold their pictures";
  EXPECT_EQ(httpGet(s.port(), "/units/1/latest").status, 503);
  stalled.back().readUntilClosed(1000);
  EXPECT_FALSE(stalled.back().readFor(100)) << "a stream past the budget ends";
  EXPECT_TRUE(stalled.back().parts().empty());
  stalled.clear();
  EXPECT_TRUE(waitFor([&] { return s.server->picturesHeld() == 0; }, 3000, 10)) << s.server->picturesHeld();
  EXPECT_EQ(httpGet(s.port(), "/units/1/latest").status, 200);
}

// A client that trickles its headers is dropped at the deadline whatever it
// sends; streams take at most three quarters of the connections, so short
// requests are still answered when streams ask for more.
TEST(WebServer, SlowHeadersAreDroppedAndStreamsLeaveRoomForRequests) {
  RunningServer s(1, {.maxConnections = 8, .headerDeadlineMs = 300});
  ASSERT_TRUE(s.publish(1, testJpeg(1)));

  RawClient slow(s.port(), "GET /units HTTP/1.1\r\n");
  bool open = true;
  for (int i = 0; i < 15 && open; ++i)
    open = slow.send("X-Slow: " + QByteArray::number(i) + "\r\n") && slow.readFor(100);
  EXPECT_FALSE(open) << "a trickling client outlived the header deadline";
  EXPECT_EQ(slow.status(), 408);

  std::deque<RawClient> streams;
  for (int i = 0; i < 6; ++i) {
    streams.emplace_back(s.port(), streamRequest(1));
    ASSERT_TRUE(streams.back().readUntil([](const QByteArray& b) { return b.contains("\r\n\r\n"); }, 2000));
    EXPECT_EQ(streams.back().status(), 200);
  }
  RawClient extra(s.port(), streamRequest(1));
  extra.readUntilClosed(1000);
  EXPECT_EQ(extra.status(), 503) << "streams took every connection";
  EXPECT_EQ(httpGet(s.port(), "/units").status, 200);
}

// Each slip gets one well-formed answer and nothing after it; a request for
// another host name is refused on loopback (DNS rebinding).
TEST(WebServer, ProtocolSlipsGetOneWellFormedAnswer) {
  RunningServer s(1, {.allowedHosts = {"Station.example"}});
  const QByteArray port = QByteArray::number(s.port());
  const std::vector<std::pair<QByteArray, int>> cases = {
      // request, status
      {"HEAD /events HTTP/1.1\r\nHost: localhost\r\n\r\n", 200},
      {"HEAD /units/1/stream HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\n", 200},
      {"GET /units HTTP/1.1\r\nHost: localhost\r\nContent-Length: 3\r\n\r\nabc", 400},
      {"GET /units HTTP/1.1\r\nHost: localhost\r\nContent-Length: -1\r\n\r\n", 400},
      {"GET /units HTTP/1.1\r\nHost: localhost\r\nContent-Length: 0\r\nContent-Length: 5\r\n\r\n", 400},
      {"GET /units HTTP/1.1\r\nHost: rebound.example:" + port + "\r\n\r\n", 421},
      {"GET /units HTTP/1.1\r\nHost: localhost:1\r\n\r\n", 421},
      {"GET /units HTTP/1.1\r\nHost: [::1]:" + port + "\r\n\r\n", 200},
      {"GET /units HTTP/1.1\r\nHost: station.example\r\n\r\n", 200},
  };
  for (const auto& [request, status] : cases) {
    RawClient client(s.port(), request + "GET /units HTTP/1.1\r\nHost: localhost\r\n\r\n");
    client.readUntilClosed(1000);
    EXPECT_EQ(client.status(), status) << request.constData();
    EXPECT_EQ(client.buffer.count("HTTP/1.1 "), 1) << request.constData() << client.buffer.constData();
    if (request.startsWith("HEAD")) {
      EXPECT_EQ(client.buffer.indexOf("\r\n\r\n") + 4, client.buffer.size())
          << "HEAD answered with a body: " << client.buffer.constData();
    }
  }
}

// The page comes with every unit's tile as it is, so the first paint shows
// the pictures without waiting for the feed; slot texts are escaped.
TEST(WebServer, PageArrivesWithItsTiles) {
  RunningServer s(2);
  ASSERT_TRUE(s.publish(1, testJpeg(1), true, QStringLiteral("<img src=x>&")));
  const Reply page = httpGet(s.port(), "/");
  ASSERT_EQ(page.status, 200);
  const QByteArray tag = QByteArray::fromStdString(s.watcher->board().view(0)->picture->etag).replace('"', "");
  EXPECT_TRUE(page.body.contains("id=\"unit-1\"") && page.body.contains("id=\"unit-2\""));
  EXPECT_TRUE(page.body.contains("src=\"/units/1/latest.jpg?v=" + tag + "\"")) << page.body.constData();
  EXPECT_TRUE(page.body.contains("&lt;img src=x&gt;&amp;")) << page.body.constData();
  EXPECT_FALSE(page.body.contains("<img src=x>"));
  EXPECT_TRUE(page.body.contains(QStringLiteral("画像はまだありません").toUtf8())) << "unit 2 says it has none";
}
