#include "http_server.h"

#include "metrics.h"
#include "page_assets.h"
#include "stream_client.h"
#include "tls.h"
#include "unit_json.h"
#include "watcher.h"

#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>

#include <QJsonDocument>
#include <QtDebug>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

namespace selvane::web {

struct HttpServer::Context {
  Board& board;
  PictureBudget& budget;
  bool checkHost = false;
  QList<QByteArray> hosts;  // lower case, without the port
  QByteArray port;
  Logins* logins = nullptr;               // every request needs one of these logins; null: none asked
  HeaderDeadline* tlsDeadline = nullptr;  // HTTPS: connections whose headers are not whole yet
};

namespace {

using Context = HttpServer::Context;

struct ResponseDeleter {
  void operator()(MHD_Response* r) const { MHD_destroy_response(r); }
};
using Response = std::unique_ptr<MHD_Response, ResponseDeleter>;

constexpr int kStreamSendBuffer = 128 * 1024;

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// HTTP dates are always in English and GMT, whatever the locale.
std::string httpDate(int64_t secs) {
  const time_t t = static_cast<time_t>(secs);
  struct tm tm {};
  gmtime_r(&t, &tm);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

std::optional<int64_t> parseHttpDate(const char* text) {
  char day[4] = {}, month[4] = {};
  struct tm tm {};
  if (std::sscanf(text, "%3s, %d %3s %d %d:%d:%d GMT", day, &tm.tm_mday, month, &tm.tm_year, &tm.tm_hour, &tm.tm_min,
                  &tm.tm_sec) != 7)
    return std::nullopt;
  tm.tm_mon = -1;
  for (int i = 0; i < 12; ++i)
    if (std::strcmp(month, kMonths[i]) == 0) tm.tm_mon = i;
  if (tm.tm_mon < 0) return std::nullopt;
  tm.tm_year -= 1900;
  return static_cast<int64_t>(timegm(&tm));
}

// If-None-Match holds the tag (weak comparison, as for GET), or "*".
bool tagMatches(const char* header, const std::string& etag) {
  const QByteArray list(header);
  for (QByteArray item : list.split(',')) {
    item = item.trimmed();
    if (item.startsWith("W/")) item = item.mid(2);
    if (item == "*" || item.toStdString() == etag) return true;
  }
  return false;
}

void commonHeaders(MHD_Response* r) {
  MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
  MHD_add_response_header(r, "Referrer-Policy", "no-referrer");
  // Every request comes through the gate, which times its headers.
  MHD_add_response_header(r, "Connection", "close");
}

MHD_Result send(MHD_Connection* c, unsigned status, Response r) {
  if (!r) return MHD_NO;
  commonHeaders(r.get());
  return MHD_queue_response(c, status, r.get());
}

Response copyBody(const QByteArray& body, const char* type) {
  Response r(MHD_create_response_from_buffer(static_cast<size_t>(body.size()), const_cast<char*>(body.constData()),
                                             MHD_RESPMEM_MUST_COPY));
  if (r) MHD_add_response_header(r.get(), "Content-Type", type);
  return r;
}

using Header = std::pair<const char*, const char*>;
constexpr Header kNoStore{"Cache-Control", "no-store"};

// A one-line text answer with the headers it needs besides the common ones.
MHD_Result sendText(MHD_Connection* c, unsigned status, const char* text,
                    std::initializer_list<Header> headers = {kNoStore}) {
  Response r = copyBody(QByteArray(text) + "\n", "text/plain; charset=utf-8");
  if (r)
    for (const auto& [name, value] : headers) MHD_add_response_header(r.get(), name, value);
  return send(c, status, std::move(r));
}

MHD_Result sendJson(MHD_Connection* c, const QByteArray& json) {
  Response r = copyBody(json, "application/json");
  if (r) MHD_add_response_header(r.get(), "Cache-Control", "no-store");
  return send(c, MHD_HTTP_OK, std::move(r));
}

// The picture's bytes go out without a copy: the response holds a reference.
MHD_Result sendPicture(MHD_Connection* c, PictureBudget& budget, PicturePtr picture, bool asJpeg) {
  const std::string etag =
      asJpeg && !picture->storedJpeg ? picture->etag.substr(0, picture->etag.size() - 1) + "j\"" : picture->etag;
  const std::string modified = httpDate(picture->modifiedSecs);
  bool unchanged = false;
  if (const char* inm = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH)) {
    unchanged = tagMatches(inm, etag);
  } else if (const char* ims = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_MODIFIED_SINCE)) {
    const auto since = parseHttpDate(ims);
    unchanged = since && picture->modifiedSecs <= *since;
  }
  Response r;
  if (unchanged) {
    r.reset(MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT));
  } else {
    picture = budget.hold(picture);
    if (!picture)
      return sendText(c, MHD_HTTP_SERVICE_UNAVAILABLE,
                      "Too many pictures are being sent to slow clients; try again later.", {{"Retry-After", "5"}});
    const QByteArray& body = asJpeg ? picture->jpeg : picture->stored;
    auto* hold = new PicturePtr(std::move(picture));
    r.reset(MHD_create_response_from_buffer_with_free_callback_cls(
        static_cast<size_t>(body.size()), const_cast<char*>(body.constData()),
        [](void* cls) { delete static_cast<PicturePtr*>(cls); }, hold));
    if (!r) delete hold;
    if (r) MHD_add_response_header(r.get(), "Content-Type", asJpeg || (*hold)->storedJpeg ? "image/jpeg" : "image/bmp");
  }
  if (!r) return MHD_NO;
  MHD_add_response_header(r.get(), "ETag", etag.c_str());
  MHD_add_response_header(r.get(), "Last-Modified", modified.c_str());
  MHD_add_response_header(r.get(), "Cache-Control", "no-cache");
  return send(c, unchanged ? MHD_HTTP_NOT_MODIFIED : MHD_HTTP_OK, std::move(r));
}

MHD_Result sendStream(MHD_Connection* c, Context& ctx, bool head, StreamClient::Kind kind, int index) {
  // HEAD: the headers alone; a streamed body would be framed as chunks.
  Response r(head ? MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT) : nullptr);
  // What the kernel holds for a client that stopped reading is pictures it
  // would get late: keep that to about half a picture, so a client that
  // reads again soon gets the newest one instead of a backlog.
  if (const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD); info && !head) {
    const int bytes = kStreamSendBuffer;
    setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
  }
  if (!head) r.reset(StreamClient::response(new StreamClient(ctx.board, ctx.budget, c, kind, index)));
  if (!r) return MHD_NO;
  if (kind == StreamClient::Kind::Pictures) {
    const std::string type = std::string("multipart/x-mixed-replace;boundary=") + kStreamBoundary;
    MHD_add_response_header(r.get(), "Content-Type", type.c_str());
  } else {
    MHD_add_response_header(r.get(), "Content-Type", "text/event-stream");
  }
  MHD_add_response_header(r.get(), "Cache-Control", "no-cache, no-store");
  return send(c, MHD_HTTP_OK, std::move(r));
}

// The page is made for each request (its tiles are the units as they are
// now); the script and style are static.
MHD_Result sendAsset(MHD_Connection* c, const PageAsset& asset, const QByteArray* made = nullptr) {
  Response r(made ? MHD_create_response_from_buffer(static_cast<size_t>(made->size()),
                                                    const_cast<char*>(made->constData()), MHD_RESPMEM_MUST_COPY)
                  : MHD_create_response_from_buffer(static_cast<size_t>(asset.body.size()),
                                                    const_cast<char*>(asset.body.constData()), MHD_RESPMEM_PERSISTENT));
  if (!r) return MHD_NO;
  MHD_add_response_header(r.get(), "Content-Type", asset.type);
  MHD_add_response_header(r.get(), "Cache-Control", "no-cache");
  MHD_add_response_header(r.get(), "Content-Security-Policy",
                          "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                          "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
  return send(c, MHD_HTTP_OK, std::move(r));
}

MHD_Result sendMetrics(MHD_Connection* c, const Board& board) {
  const MHD_ConnectionInfo* daemon = MHD_get_connection_info(c, MHD_CONNECTION_INFO_DAEMON);
  const MHD_DaemonInfo* open =
      daemon ? MHD_get_daemon_info(daemon->daemon, MHD_DAEMON_INFO_CURRENT_CONNECTIONS) : nullptr;
  const std::string text = metricsText(board, open ? open->num_connections : 0);
  Response r = copyBody(QByteArray::fromStdString(text), kMetricsContentType);
  if (r) MHD_add_response_header(r.get(), "Cache-Control", "no-store");
  return send(c, MHD_HTTP_OK, std::move(r));
}

// "/units/N..." → the unit's index and the rest of the path; -1 for no unit.
int unitIndex(const Board& board, QByteArrayView path, QByteArrayView* rest) {
  constexpr QByteArrayView prefix("/units/");
  if (!path.startsWith(prefix)) return -1;
  path = path.sliced(prefix.size());
  qsizetype digits = 0;
  while (digits < path.size() && digits < 3 && path[digits] >= '0' && path[digits] <= '9') ++digits;
  if (digits == 0 || path[0] == '0') return -1;
  *rest = path.sliced(digits);
  return board.indexOf(path.first(digits).toInt());
}

MHD_Result route(Context& ctx, MHD_Connection* c, const char* url, bool head) {
  Board& board = ctx.board;
  const QByteArrayView path(url);
  if (path == "/" || path == "/index.html") {
    const QByteArray page = pageWithTiles(board.views(), wallClockMs());
    return sendAsset(c, pageAsset(PageAsset::Page), &page);
  }
  if (path == "/page.js") return sendAsset(c, pageAsset(PageAsset::Script));
  if (path == "/page.css") return sendAsset(c, pageAsset(PageAsset::Style));
  if (path == "/units") return sendJson(c, unitsJson(board.views()));
  if (path == "/events") return sendStream(c, ctx, head, StreamClient::Kind::Feed, -1);
  if (path == "/metrics") return sendMetrics(c, board);
  QByteArrayView rest;
  const int index = unitIndex(board, path, &rest);
  if (index < 0) return sendText(c, MHD_HTTP_NOT_FOUND, "No such page or unit.");
  if (rest.isEmpty()) return sendJson(c, QJsonDocument(unitJson(*board.view(index))).toJson(QJsonDocument::Compact));
  if (rest == "/stream") return sendStream(c, ctx, head, StreamClient::Kind::Pictures, index);
  const bool jpg = rest == "/latest.jpg";
  if (rest != "/latest" && !jpg) return sendText(c, MHD_HTTP_NOT_FOUND, "No such page or unit.");
  PicturePtr picture = board.view(index)->picture;
  if (!picture) return sendText(c, MHD_HTTP_NOT_FOUND, "This unit has published no picture yet.");
  if (jpg && picture->jpeg.isEmpty())
    return sendText(c, MHD_HTTP_UNSUPPORTED_MEDIA_TYPE, "This unit's picture cannot be converted to JPEG.");
  return sendPicture(c, ctx.budget, std::move(picture), jpg);
}

// Host as sent: a name of this computer's loopback, or one allowed by name,
// with or without this server's port. HTTP/1.0 clients may send none.
bool hostAllowed(const Context& ctx, const char* header) {
  if (!ctx.checkHost || header == nullptr) return true;
  QByteArray host = QByteArray(header).trimmed().toLower();
  qsizetype nameEnd = host.startsWith('[') ? host.indexOf(']') + 1 : host.lastIndexOf(':');
  if (nameEnd <= 0) nameEnd = host.size();
  const QByteArray port = host.mid(nameEnd);
  if (!port.isEmpty() && port != ":" + ctx.port) return false;
  return ctx.hosts.contains(host.left(nameEnd));
}

Logins::Verdict judgeLogin(Logins& logins, MHD_Connection* c) {
  const auto peer = [c] {
    QString name = QStringLiteral("?");
    if (const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
      char host[NI_MAXHOST];
      const socklen_t length = info->client_addr->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
      if (getnameinfo(info->client_addr, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) == 0) name = host;
    }
    return name;
  };
  return logins.judge(MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION), peer);
}

int socketOf(MHD_Connection* c) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
  return info ? info->connect_fd : -1;
}

// The library lets go of a connection before it closes its socket.
void onConnection(void* cls, MHD_Connection* c, void**, MHD_ConnectionNotificationCode code) {
  auto* deadline = static_cast<HeaderDeadline*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_CLOSED) deadline->closed(socketOf(c));
}

MHD_Result onRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char*, const char*,
                     size_t*, void** requestState) {
  // The first call comes once the headers are complete; every request is
  // answered there, before any body is read.
  static char seen;
  if (*requestState != nullptr) return MHD_NO;  // a body arrived after the answer
  *requestState = &seen;
  Context& ctx = *static_cast<Context*>(cls);
  if (ctx.tlsDeadline) ctx.tlsDeadline->headersDone(socketOf(c));
  const QByteArrayView m(method);
  if (m != "GET" && m != "HEAD")
    return sendText(c, MHD_HTTP_METHOD_NOT_ALLOWED, "Only GET and HEAD are served.", {{"Allow", "GET, HEAD"}});
  if (!hostAllowed(ctx, MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST)))
    return sendText(c, MHD_HTTP_MISDIRECTED_REQUEST, "This server does not answer for that host name.");
  const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  if ((length && QByteArrayView(length) != "0") ||
      MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
    return sendText(c, MHD_HTTP_BAD_REQUEST, "A GET request carries no body.");
  switch (ctx.logins ? judgeLogin(*ctx.logins, c) : Logins::Verdict::Allowed) {
    case Logins::Verdict::Allowed: break;
    case Logins::Verdict::Refused:
      return sendText(c, MHD_HTTP_UNAUTHORIZED, "Log in to see the pictures.",
                      {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, Logins::kChallenge}, kNoStore});
    case Logins::Verdict::Throttled:
      return sendText(c, MHD_HTTP_TOO_MANY_REQUESTS, "Too many failed logins from this address: try again in a minute.",
                      {{"Retry-After", "60"}});
    case Logins::Verdict::Busy:
      return sendText(c, MHD_HTTP_SERVICE_UNAVAILABLE, "Many logins are being checked: try again in a second.",
                      {{"Retry-After", "1"}});
  }
  return route(ctx, c, url, m == "HEAD");
}

// Paths are matched as sent: no percent-decoding, so "%2e%2e" or "%00" is
// just an unknown path.
size_t keepEscapes(void*, MHD_Connection*, char* s) { return std::strlen(s); }

// The library reports every client that misbehaves; a hostile client must
// not flood the log, so only the first few of each minute are written.
__attribute__((format(printf, 2, 0))) void logLibrary(void*, const char* format, va_list args) {
  // A known quirk of libmicrohttpd 0.9.75 warns about the logger's own place.
  if (std::strstr(format, "MHD_OPTION_EXTERNAL_LOGGER") != nullptr) return;
  static std::atomic<int64_t> minute{0};
  static std::atomic<int> count{0};
  const int64_t now = static_cast<int64_t>(std::time(nullptr) / 60);
  if (minute.exchange(now) != now) count = 0;
  const int n = ++count;
  if (n > 10) return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  QByteArray line(text);
  qWarning("http: %s%s", line.trimmed().constData(), n == 10 ? " (more this minute not logged)" : "");
}

}  // namespace

bool parseListenAddress(const QString& text, QString* host, uint16_t* port) {
  const qsizetype colon = text.lastIndexOf(u':');
  if (colon <= 0) return false;
  QString h = text.left(colon);
  if (h.startsWith(u'[') && h.endsWith(u']')) h = h.mid(1, h.size() - 2);
  bool ok = false;
  const uint p = text.mid(colon + 1).toUInt(&ok);
  if (!ok || p > 65535 || h.isEmpty()) return false;
  *host = h;
  *port = static_cast<uint16_t>(p);
  return true;
}

HttpServer::HttpServer(Board& board, Options options)
    : board_(board),
      options_(std::move(options)),
      budget_(options_.maxMemory),
      context_(std::make_unique<Context>(Context{board_, budget_, false, {}, {}, options_.logins})) {
  context_->hosts = {"localhost", "127.0.0.1", "[::1]"};
  for (const QString& name : options_.allowedHosts) context_->hosts.append(name.toLower().toUtf8());
}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start(QString* error) {
  QString host;
  uint16_t port = 0;
  if (!parseListenAddress(options_.listen, &host, &port)) {
    *error = QStringLiteral("not an address and port: %1").arg(options_.listen);
    return false;
  }
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG |
                   MHD_USE_NO_LISTEN_SOCKET | MHD_USE_ITC;
  if (host.contains(u':')) flags |= MHD_USE_IPv6;
  std::vector<MHD_OptionItem> tls;
  if (!tlsOptions(options_.tlsCert, options_.tlsKey, &flags, &tls, error)) return false;
  if (!options_.tlsCert.isEmpty()) {
    tlsDeadline_ = std::make_unique<HeaderDeadline>();
    context_->tlsDeadline = tlsDeadline_.get();
    tls.insert(tls.begin(),
               {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&onConnection), tlsDeadline_.get()});
  }
  daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &onRequest, context_.get(), MHD_OPTION_ARRAY, tls.data(),
                             MHD_OPTION_EXTERNAL_LOGGER, &logLibrary, nullptr, MHD_OPTION_UNESCAPE_CALLBACK,
                             &keepEscapes, nullptr, MHD_OPTION_CONNECTION_LIMIT, options_.maxConnections,
                             MHD_OPTION_PER_IP_CONNECTION_LIMIT, options_.maxPerAddress, MHD_OPTION_CONNECTION_TIMEOUT,
                             options_.idleTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, options_.connectionMemory,
                             MHD_OPTION_END);
  if (!daemon_) {
    *error = options_.tlsCert.isEmpty()
                 ? QStringLiteral("cannot start the HTTP server")
                 : QStringLiteral("cannot start the HTTPS server (do the TLS certificate and key fit?)");
    return false;
  }
  RequestGate::Options gateOptions;
  gateOptions.headerDeadlineMs = options_.headerDeadlineMs;
  gateOptions.maxWaiting = options_.maxConnections;
  gateOptions.maxWaitingPerAddress = std::max(1u, options_.maxConnections / 4);
  gateOptions.maxHeaderBytes = options_.connectionMemory / 2;
  gateOptions.encrypted = !options_.tlsCert.isEmpty();
  gate_ = std::make_unique<RequestGate>(
      gateOptions, [this](int fd, const sockaddr* a, socklen_t l, QByteArrayView head,
                          HeaderDeadline::Clock::time_point deadline) { handOver(fd, a, l, head, deadline); });
  if (!gate_->listen(host, port, error)) {
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
    return false;
  }
  // Known before the first request is handed over.
  context_->checkHost = gate_->loopback();
  context_->port = QByteArray::number(gate_->port());
  gate_->start();
  return true;
}

// On the gate's thread. Streams and feeds may take three quarters of the
// connections, short requests as many: each kind always finds a quarter free.
void HttpServer::handOver(int fd, const sockaddr* address, socklen_t length, QByteArrayView head,
                          HeaderDeadline::Clock::time_point headerDeadline) {
  const qsizetype lineEnd = head.indexOf('\n');
  const QList<QByteArray> requestLine = head.first(lineEnd < 0 ? head.size() : lineEnd).toByteArray().split(' ');
  const QByteArray path = requestLine.value(1);
  const bool stream = path == "/events" || (path.startsWith("/units/") && path.endsWith("/stream"));
  const unsigned open = connections();
  const auto streams = static_cast<unsigned>(board_.stats.streamClients + board_.stats.feedClients);
  const unsigned share = options_.maxConnections - options_.maxConnections / 4;
  const bool full =
      open >= options_.maxConnections || (stream ? streams >= share : open - std::min(open, streams) >= share);
  if (full) {
    answerAndClose(fd, plainAnswer(503, "Service Unavailable",
                                   stream ? "Too many streams are open; try again later."
                                          : "Too many requests; try again later."));
    return;
  }
  if (tlsDeadline_) tlsDeadline_->add(fd, headerDeadline);
  // Closes the socket when it fails.
  if (MHD_add_connection(daemon_, fd, address, length) != MHD_YES && tlsDeadline_) tlsDeadline_->closed(fd);
}

uint16_t HttpServer::port() const { return gate_ ? gate_->port() : 0; }

bool HttpServer::loopback() const { return gate_ && gate_->loopback(); }

unsigned HttpServer::connections() const {
  if (!daemon_) return 0;
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
  return info ? info->num_connections : 0;
}

unsigned HttpServer::waitingForHeaders() const { return gate_ ? gate_->waiting() : 0; }

void HttpServer::stop() {
  if (!daemon_) return;
  // No new connection once the streams are told to end.
  gate_->stop();
  // Parked streams are resumed and end; libmicrohttpd must not be stopped
  // with a suspended connection.
  board_.close();
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
}

}  // namespace selvane::web
