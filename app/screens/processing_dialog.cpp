#include "screens/processing_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/qt_bridge.h"
#include "screens/widgets.h"
#include "selvane/publication/list_rules.h"
#include "selvane/publication/numeric_text.h"

namespace selvane::screens {
namespace {

// Each list shows a number derived from the stored value: shown = stored - offset,
// or, for zoom, 11 - stored.
struct ListSpec {
  const char* caption;
  int top;     // first item
  int bottom;  // last item
  int offset;  // stored = item + offset (zoom: 11 - item)
  bool reversedZoom;
  int left, width;
};
constexpr ListSpec kLists[6] = {
    {"回転角", 18, -18, 18, false, 120, 855}, {"拡大率", 10, 1, 11, true, 1080, 855},
    {"明暗", 10, -10, 10, false, 2160, 735},  {"赤", 10, -10, 10, false, 3000, 735},
    {"緑", 10, -10, 10, false, 3840, 735},    {"青", 10, -10, 10, false, 4680, 735},
};

int32_t& storedValue(model::Adjustments& a, int list) {
  switch (list) {
    case 0: return a.rotation;
    case 1: return a.zoom;
    case 2: return a.brightness;
    case 3: return a.red;
    case 4: return a.green;
    default: return a.blue;
  }
}

int shownOf(const ListSpec& s, int stored) { return s.reversedZoom ? s.offset - stored : stored - s.offset; }
double storedOf(const ListSpec& s, double shown) { return s.reversedZoom ? s.offset - shown : shown + s.offset; }

}  // namespace

ProcessingDialog::ProcessingDialog(model::UnitModel& model, QWidget* controlScreen)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      model_(model),
      controlScreen_(controlScreen) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Form4"));
  tag(this, "Form4", QStringLiteral("加工"));
  setFixedSize(px(5520), px(1290));
  model::Adjustments& a = model_.adjust[static_cast<size_t>(std::clamp(model_.editedUnit, 0, 5))];
  for (int i = 0; i < 6; ++i) {
    const ListSpec& s = kLists[i];
    auto* label = new QLabel(QString::fromUtf8(s.caption), this);
    tag(label, indexed("Label1", i), QString::fromUtf8(s.caption));
    label->setGeometry(twipsRect(s.left, 120, s.width, 255));
    auto* list = new QComboBox(this);
    tag(list, QStringLiteral("Combo%1").arg(i + 1), QString::fromUtf8(s.caption));
    list->setGeometry(twipsRect(s.left, 480, s.width, 315));
    for (int v = s.top; v >= s.bottom; --v) list->addItem(QString::number(v));
    list->setMaxVisibleItems(12);
    lists_[static_cast<size_t>(i)] = list;
    connect(list, &QComboBox::activated, this, [this, i] { changed_[static_cast<size_t>(i)] = true; });

    // Select by message, so no pick is recorded; an unknown number selects the last item.
    const int index =
        publication::selectionLastFallback(itemTexts(list), QString::number(shownOf(s, storedValue(a, i))));
    if (index >= 0) SendMessageA(pl::hwndOf(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  auto* back = new QPushButton(QStringLiteral("戻る"), this);
  tag(back, "Command1", QStringLiteral("戻る"));
  back->setGeometry(twipsRect(4440, 960, 975, 255));
  connect(back, &QPushButton::clicked, this, &QWidget::close);
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  show();
}

void ProcessingDialog::closeEvent(QCloseEvent* event) {
  model::Adjustments& a = model_.adjust[static_cast<size_t>(std::clamp(model_.editedUnit, 0, 5))];
  for (int i = 0; i < 6; ++i) {
    if (!changed_[static_cast<size_t>(i)]) continue;
    const double shown = publication::numericValue(lists_[static_cast<size_t>(i)]->currentText());
    if (auto v = publication::toInt32(storedOf(kLists[i], shown))) storedValue(a, i) = *v;
  }
  if (controlScreen_) controlScreen_->setEnabled(true);
  event->accept();
}

}  // namespace selvane::screens
