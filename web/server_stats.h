// The reader's own figures for GET /metrics. Stream and feed clients update
// them on libmicrohttpd's thread; the metrics page reads them on the same
// thread, the request gate's thread (the streams' share of the connections)
// and the benches from others: hence atomics, relaxed (each figure stands
// alone).
#pragma once

#include <atomic>
#include <cstdint>

namespace selvane::web {

struct ServerStats {
  std::atomic<int64_t> streamClients{0};  // MJPEG streams open now
  std::atomic<int64_t> feedClients{0};    // event feeds open now
  std::atomic<uint64_t> partsSent{0};     // pictures handed to stream clients
  std::atomic<uint64_t> partsSkipped{0};  // pictures a slow stream client never got (it took a newer one)
};

}  // namespace selvane::web
