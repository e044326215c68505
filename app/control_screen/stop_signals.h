// SIGTERM, SIGINT and SIGHUP (logout, shutdown, a service manager, Ctrl+C)
// end the program as "終了" does rather than killing it where it stands:
// the handler only writes the signal to a pipe, and the UI thread, woken by
// it, runs `onStop` there.
// Threads: made and used on the UI thread; the handler runs on any thread.
#pragma once
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace selvane {

class StopSignals : public QObject {
 public:
  explicit StopSignals(std::function<void(int signal)> onStop);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  std::function<void(int)> onStop_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace selvane
