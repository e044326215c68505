// The process-wide table of window handles.
//
// Threads: the table itself (lookup, procedure and user value) is guarded by
// one mutex and may be used from any thread. An entry's Qt object, pictures,
// repaint bookkeeping and timers belong to the UI thread.
#pragma once
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/window.h"

class QTimer;
class QWidget;

namespace pl::detail {

struct Picture {
  QRect dest;
  QImage image;
};

struct WindowEntry {
  HWND hwnd = 0;
  QPointer<QObject> object;   // the widget, or the message-only object
  QWidget* widget = nullptr;  // non-null for widgets; valid while `object` is
  bool owned = false;         // made by the layer (message/child window)

  // Guarded by the table mutex.
  WNDPROC proc = ToolkitWindowProc;
  LONG_PTR user = 0;

  // UI thread only.
  QString text;                   // window text of message-only windows
  std::vector<Picture> pictures;  // drawn pictures shown over the widget
  QRegion drawPending;            // area updated by drawing, not yet painted
  std::map<UINT_PTR, QTimer*> timers;
};

using EntryPtr = std::shared_ptr<WindowEntry>;

class HandleTable {
 public:
  static HandleTable& instance();

  EntryPtr add(QObject* object, QWidget* widget, bool owned);
  EntryPtr find(HWND hwnd) const;
  EntryPtr remove(HWND hwnd);

  WNDPROC proc(HWND hwnd) const;
  bool readLong(HWND hwnd, int index, LONG_PTR* value) const;
  bool writeLong(HWND hwnd, int index, LONG_PTR value, LONG_PTR* previous);

 private:
  mutable std::mutex mutex_;
  std::unordered_map<HWND, EntryPtr> entries_;
  uint32_t next_ = 0x00010000u;  // handles grow by 4 and are never reused
};

}  // namespace pl::detail
