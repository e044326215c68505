// GET /metrics: every unit's health and counts and the reader's own figures
// in the Prometheus text format (written by prometheus-cpp's serializer from
// a snapshot of the board, so a scrape never waits for the watcher). Runs on
// libmicrohttpd's thread.
#pragma once

#include "board.h"

#include <string>

namespace selvane::web {

// `connections`: all connections open now (any kind).
std::string metricsText(const Board& board, unsigned connections);

inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace selvane::web
