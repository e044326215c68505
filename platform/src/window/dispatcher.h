// The UI-thread side of the window layer: delivers posted messages in order,
// applies pictures drawn from other threads, runs calls marshalled from other
// threads, and filters the events of every widget that has a handle.
//
// Threads: the dispatcher object lives on the UI thread; post() and
// postPicture() may be called from any thread.
#pragma once
#include <QHash>
#include <QImage>
#include <QObject>
#include <QRect>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <tuple>

#include "window/handle_table.h"

namespace pl::detail {

class Dispatcher : public QObject {
  Q_OBJECT
 public:
  // Null when there is no Qt application.
  static Dispatcher* get();

  // Handle of a widget (created on first use); UI thread.
  HWND attach(QWidget* widget);
  // Handle of an object; `owned` ones are deleted by DestroyWindow. UI thread.
  HWND attachOwned(QObject* object, QWidget* widget, bool owned);
  void detach(HWND hwnd);

  bool post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool postPicture(HWND hwnd, const QRect& dest, QImage image);
  // Delivers one message now (UI thread): mouse messages as real input to a
  // widget, everything else to the window procedure.
  LRESULT deliver(const EntryPtr& entry, UINT msg, WPARAM wParam, LPARAM lParam);
  void applyPicture(const EntryPtr& entry, const QRect& dest, QImage image);

  // Runs `fn` on the UI thread and waits for it.
  void runBlocking(const std::function<void()>& fn);

  // While restricted, only messages posted during painting are delivered;
  // the others stay queued, in order, until the last restriction ends.
  void restrict();
  void unrestrict();

 protected:
  void customEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Dispatcher();
  struct Posted {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool paintWork;  // posted by a window while it painted
  };
  void deliverNext();
  bool filterPaint(const EntryPtr& entry, QEvent* event);
  bool filterMouse(const EntryPtr& entry, QEvent* event);

  std::mutex queueMutex_;
  std::deque<Posted> queue_;
  size_t wakesInFlight_ = 0;  // guarded by queueMutex_
  struct PlaceLess {
    bool operator()(const std::pair<HWND, QRect>& a, const std::pair<HWND, QRect>& b) const {
      return std::tuple(a.first, a.second.x(), a.second.y(), a.second.width(), a.second.height()) <
             std::tuple(b.first, b.second.x(), b.second.y(), b.second.width(), b.second.height());
    }
  };
  std::map<std::pair<HWND, QRect>, QImage, PlaceLess> pendingPictures_;  // guarded by queueMutex_
  int restricted_ = 0;                                                   // UI thread only
  bool inPaint_ = false;                                                 // UI thread only: a WM_PAINT chain is running
  QHash<const QObject*, HWND> objects_;                                  // UI thread only
};

// The event being offered to the procedure chain (UI thread), so that the
// toolkit procedure can hand the original event to the widget.
struct CurrentEvent {
  HWND hwnd = 0;
  UINT msg = 0;
  QEvent* event = nullptr;
  bool painted = false;
};
CurrentEvent*& currentEvent();

// Calls the window's current procedure.
LRESULT callProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace pl::detail
