#include "metrics.h"

#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>

#include <sstream>

namespace selvane::web {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily family(const char* name, const char* help, MetricType type) { return {name, help, type, {}}; }

void add(MetricFamily& f, std::vector<ClientMetric::Label> labels, double value) {
  ClientMetric m;
  m.label = std::move(labels);
  if (f.type == MetricType::Counter)
    m.counter.value = value;
  else
    m.gauge.value = value;
  f.metric.push_back(std::move(m));
}

}  // namespace

std::string metricsText(const Board& board, unsigned connections) {
  MetricFamily up =
      family("selvane_unit_up", "1 when the unit's directory is readable and holds a picture", MetricType::Gauge);
  MetricFamily pictures =
      family("selvane_unit_pictures_total",
             "Pictures the unit published since the reader started (the first one found counts)", MetricType::Counter);
  MetricFamily last = family("selvane_unit_last_picture_timestamp_seconds",
                             "When the unit's newest picture was published (Unix time)", MetricType::Gauge);
  MetricFamily stale =
      family("selvane_unit_stale", "1 when no new picture came for more than 3 intervals", MetricType::Gauge);
  MetricFamily frozen =
      family("selvane_unit_frozen", "1 when the last 5 pictures are byte-identical", MetricType::Gauge);
  MetricFamily interval = family("selvane_unit_interval_seconds",
                                 "The gap between pictures that the health rules expect", MetricType::Gauge);
  MetricFamily errors = family("selvane_unit_read_errors_total",
                               "Times the unit's directory or cap.ctl became unreadable", MetricType::Counter);
  for (const UnitViewPtr& v : board.views()) {
    const UnitActivity& a = v->activity;
    std::vector<ClientMetric::Label> unit{{"unit", std::to_string(v->number)}};
    add(up, unit, v->readable && v->picture ? 1 : 0);
    add(pictures, unit, static_cast<double>(a.pictures));
    if (a.lastPictureMs > 0) add(last, unit, static_cast<double>(a.lastPictureMs) / 1000.0);
    add(stale, unit, a.stale ? 1 : 0);
    add(frozen, unit, a.frozen ? 1 : 0);
    add(interval, unit, static_cast<double>(a.intervalMs) / 1000.0);
    add(errors, unit, static_cast<double>(a.readErrors));
  }
  const ServerStats& s = board.stats;
  MetricFamily clients = family("selvane_web_clients", "Clients connected now, by kind", MetricType::Gauge);
  add(clients, {{"kind", "stream"}}, static_cast<double>(s.streamClients.load(std::memory_order_relaxed)));
  add(clients, {{"kind", "feed"}}, static_cast<double>(s.feedClients.load(std::memory_order_relaxed)));
  add(clients, {{"kind", "connection"}}, connections);
  MetricFamily sent =
      family("selvane_web_stream_parts_sent_total", "Pictures handed to stream clients", MetricType::Counter);
  add(sent, {}, static_cast<double>(s.partsSent.load(std::memory_order_relaxed)));
  MetricFamily skipped = family("selvane_web_stream_parts_skipped_total",
                                "Pictures slow stream clients skipped to get a newer one", MetricType::Counter);
  add(skipped, {}, static_cast<double>(s.partsSkipped.load(std::memory_order_relaxed)));

  std::ostringstream out;
  prometheus::TextSerializer().Serialize(out,
                                         {up, pictures, last, stale, frozen, interval, errors, clients, sent, skipped});
  return out.str();
}

}  // namespace selvane::web
