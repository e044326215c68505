#include "window/dispatcher.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "platform/qt_bridge.h"
#include "window/mouse_messages.h"

namespace pl::detail {
namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x5a1);
const QEvent::Type kPictureEvent = static_cast<QEvent::Type>(QEvent::User + 0x5a2);

// Tells the UI thread that a drawing thread left a picture for a window.
class PictureEvent : public QEvent {
 public:
  PictureEvent(HWND h, const QRect& r) : QEvent(kPictureEvent), hwnd(h), dest(r) {}
  HWND hwnd;
  QRect dest;
};

constexpr size_t kMaxPicturesPerWindow = 8;

// QWidget::grab() paints the widget into a pixmap; that is a copy of what the
// screen shows, not a system repaint, so pictures stay and no WM_PAINT goes out.
struct PaintTarget : QPaintDevice {
  static bool isGrab(const QWidget* widget) {
    auto redirected = &PaintTarget::redirected;  // reaches the protected member through the base
    const QPaintDevice* target = (widget->*redirected)(nullptr);
    return target != nullptr && target->devType() == QInternal::Pixmap;
  }
};

}  // namespace

CurrentEvent*& currentEvent() {
  static CurrentEvent* current = nullptr;  // UI thread only
  return current;
}

LRESULT callProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = HandleTable::instance().proc(hwnd);
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

Dispatcher::Dispatcher() = default;

namespace {
// A window's timers end with its handle.
void dropTimers(WindowEntry& entry) {
  for (auto& [id, timer] : entry.timers) delete timer;
  entry.timers.clear();
}
}  // namespace

Dispatcher* Dispatcher::get() {
  static std::mutex mutex;
  static Dispatcher* dispatcher = nullptr;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return nullptr;
  std::lock_guard lock(mutex);
  if (!dispatcher) {
    dispatcher = new Dispatcher;  // lives for the rest of the process
    if (QThread::currentThread() != app->thread()) dispatcher->moveToThread(app->thread());
  }
  return dispatcher;
}

HWND Dispatcher::attach(QWidget* widget) {
  if (HWND known = objects_.value(widget, 0)) return known;
  return attachOwned(widget, widget, false);
}

HWND Dispatcher::attachOwned(QObject* object, QWidget* widget, bool owned) {
  EntryPtr entry = HandleTable::instance().add(object, widget, owned);
  const HWND hwnd = entry->hwnd;
  objects_.insert(object, hwnd);
  if (widget) widget->installEventFilter(this);
  connect(object, &QObject::destroyed, this, [this, hwnd](QObject* gone) {
    objects_.remove(gone);
    if (EntryPtr e = HandleTable::instance().remove(hwnd)) dropTimers(*e);
  });
  return hwnd;
}

void Dispatcher::detach(HWND hwnd) {
  EntryPtr entry = HandleTable::instance().remove(hwnd);
  if (!entry) return;
  dropTimers(*entry);
  entry->pictures.clear();
  if (QObject* object = entry->object.data()) {
    objects_.remove(object);
    if (entry->widget) entry->widget->removeEventFilter(this);
    if (entry->owned) object->deleteLater();
  }
}

bool Dispatcher::post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!HandleTable::instance().find(hwnd)) return false;
  const bool paintWork = inPaint_ && pl::onUiThread();
  {
    std::lock_guard lock(queueMutex_);
    queue_.push_back({hwnd, msg, wParam, lParam, paintWork});
    ++wakesInFlight_;
  }
  // One wake per message; the queue, not Qt's event order, fixes the order.
  QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
  return true;
}

bool Dispatcher::postPicture(HWND hwnd, const QRect& dest, QImage image) {
  EntryPtr entry = HandleTable::instance().find(hwnd);
  if (!entry) return false;
  if (pl::onUiThread()) {
    applyPicture(entry, dest, std::move(image));
  } else {
    // Only the newest picture per window and place waits: a drawing thread
    // faster than the UI thread replaces, it never piles up.
    std::lock_guard lock(queueMutex_);
    auto [it, fresh] = pendingPictures_.insert_or_assign({hwnd, dest}, std::move(image));
    if (fresh) QCoreApplication::postEvent(this, new PictureEvent(hwnd, dest));
  }
  return true;
}

void Dispatcher::runBlocking(const std::function<void()>& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
  } else {
    QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
  }
}

void Dispatcher::customEvent(QEvent* event) {
  if (event->type() == kWakeEvent) {
    deliverNext();
  } else if (event->type() == kPictureEvent) {
    auto* pe = static_cast<PictureEvent*>(event);
    QImage image;
    {
      std::lock_guard lock(queueMutex_);
      auto it = pendingPictures_.find({pe->hwnd, pe->dest});
      if (it == pendingPictures_.end()) return;
      image = std::move(it->second);
      pendingPictures_.erase(it);
    }
    if (EntryPtr entry = HandleTable::instance().find(pe->hwnd)) applyPicture(entry, pe->dest, std::move(image));
  }
}

void Dispatcher::restrict() { ++restricted_; }

void Dispatcher::unrestrict() {
  if (--restricted_ > 0) return;
  size_t missing = 0;
  {
    std::lock_guard lock(queueMutex_);
    if (queue_.size() > wakesInFlight_) missing = queue_.size() - wakesInFlight_;
    wakesInFlight_ += missing;
  }
  for (size_t i = 0; i < missing; ++i) QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
}

void Dispatcher::deliverNext() {
  Posted next{};
  {
    std::lock_guard lock(queueMutex_);
    if (wakesInFlight_ > 0) --wakesInFlight_;
    auto it = queue_.begin();
    if (restricted_ > 0) it = std::find_if(queue_.begin(), queue_.end(), [](const Posted& p) { return p.paintWork; });
    if (it == queue_.end()) return;  // held back until the restriction ends
    next = *it;
    queue_.erase(it);
  }
  EntryPtr entry = HandleTable::instance().find(next.hwnd);
  if (!entry || !entry->object) return;  // window gone: the message is dropped
  deliver(entry, next.msg, next.wParam, next.lParam);
}

LRESULT Dispatcher::deliver(const EntryPtr& entry, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (entry->widget && isMouseMessage(msg)) {
    // Posted mouse messages become real input, so the widget's own handling
    // (and any procedure installed on it) sees them as it sees the user.
    if (auto event = mouseEventFromMessage(entry->widget, msg, wParam, lParam)) {
      QCoreApplication::sendEvent(entry->widget, event.get());
    }
    return 0;
  }
  return callProc(entry->hwnd, msg, wParam, lParam);
}

void Dispatcher::applyPicture(const EntryPtr& entry, const QRect& dest, QImage image) {
  QWidget* widget = entry->widget;
  if (!widget || !entry->object) return;
  auto& pictures = entry->pictures;
  std::erase_if(pictures, [&](const Picture& p) { return dest.contains(p.dest); });
  if (pictures.size() >= kMaxPicturesPerWindow) pictures.erase(pictures.begin());
  pictures.push_back({dest, std::move(image)});
  const QRect visible = dest & widget->rect();
  if (visible.isEmpty()) return;
  entry->drawPending += visible;
  widget->update(visible);
}

bool Dispatcher::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  const bool paint = type == QEvent::Paint;
  const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                     type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
  const bool geometry = type == QEvent::Show || type == QEvent::Hide || type == QEvent::Resize;
  if (!paint && !mouse && !geometry) return false;
  const HWND hwnd = objects_.value(watched, 0);
  EntryPtr entry = hwnd ? HandleTable::instance().find(hwnd) : nullptr;
  if (!entry || !entry->widget) return false;
  if (geometry) {
    // What comes next is the system's repaint, not a drawing's.
    entry->drawPending = QRegion();
    return false;
  }
  return paint ? filterPaint(entry, event) : filterMouse(entry, event);
}

bool Dispatcher::filterMouse(const EntryPtr& entry, QEvent* event) {
  WNDPROC proc = HandleTable::instance().proc(entry->hwnd);
  if (proc == nullptr || proc == ToolkitWindowProc) return false;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  if (!messageFromMouseEvent(event, &msg, &wParam, &lParam)) return false;
  CurrentEvent current{entry->hwnd, msg, event, false};
  CurrentEvent* saved = std::exchange(currentEvent(), &current);
  proc(entry->hwnd, msg, wParam, lParam);
  currentEvent() = saved;
  return true;  // what the widget sees is up to the procedure chain
}

bool Dispatcher::filterPaint(const EntryPtr& entry, QEvent* event) {
  const auto* pe = static_cast<QPaintEvent*>(event);
  WNDPROC proc = HandleTable::instance().proc(entry->hwnd);
  const bool custom = proc != nullptr && proc != ToolkitWindowProc;
  if (!custom && entry->pictures.empty()) {
    entry->drawPending = QRegion();
    return false;
  }
  const bool grab = PaintTarget::isGrab(entry->widget);
  const bool drawn = grab || (!entry->drawPending.isEmpty() && (pe->region() - entry->drawPending).isEmpty());
  if (!grab) entry->drawPending = QRegion();

  QObject* target = entry->widget;
  if (drawn) {
    target->event(event);  // drawing never raises WM_PAINT
  } else {
    // A system repaint: the window paints over what was drawn there.
    std::erase_if(entry->pictures, [&](const Picture& p) { return pe->region().intersects(p.dest); });
    if (custom) {
      CurrentEvent current{entry->hwnd, WM_PAINT, event, false};
      CurrentEvent* saved = std::exchange(currentEvent(), &current);
      const bool wasInPaint = std::exchange(inPaint_, true);
      proc(entry->hwnd, WM_PAINT, 0, 0);
      inPaint_ = wasInPaint;
      currentEvent() = saved;
      if (!current.painted) target->event(event);
    } else {
      target->event(event);
    }
  }
  if (!entry->pictures.empty()) {
    QPainter painter(entry->widget);
    for (const Picture& p : entry->pictures) painter.drawImage(QRectF(p.dest), p.image);
  }
  return true;
}

}  // namespace pl::detail
