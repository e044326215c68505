#include "screens/unit_pane.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>

#include "screens/widgets.h"

namespace selvane::screens {
namespace {

template <class W>
W* place(W* w, const QString& formName, const QString& caption, int left, int top, int width, int height) {
  tag(w, formName, caption);
  w->setGeometry(twipsRect(left, top, width, height));
  return w;
}

QLineEdit* textBox(QWidget* parent, const char* name, int i, const QString& caption, QRect r) {
  auto* e = new QLineEdit(parent);
  e->setReadOnly(true);
  // Like the classic text box, a text too long for the box shows its start.
  QObject::connect(e, &QLineEdit::textChanged, e, [e] { e->setCursorPosition(0); });
  tag(e, indexed(name, i), caption);
  e->setGeometry(r);
  return e;
}

ClickLabel* label(QWidget* parent, const char* name, int i, const QString& caption, QRect r, bool framed = false) {
  auto* l = new ClickLabel(caption, parent);
  tag(l, indexed(name, i), caption);
  // A label filled at run time (format, compression, size) is read out by
  // its text, which the toolkit names it by when no name is set.
  if (caption.isEmpty()) l->setAccessibleName(QString());
  l->setGeometry(r);
  l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  if (framed) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  return l;
}

QScrollBar* bar(QWidget* parent, Qt::Orientation o, const char* name, int i, int min, int max, int value, QRect r) {
  auto* b = new QScrollBar(o, parent);
  tag(b, indexed(name, i));
  b->setRange(min, max);
  b->setPageStep(1);
  b->setValue(value);
  b->setGeometry(r);
  return b;
}

}  // namespace

UnitPane::UnitPane(int i, QWidget* parent) : QGroupBox(QStringLiteral("キャプチャ画面"), parent), index_(i) {
  tag(this, indexed("cap", i), QStringLiteral("キャプチャ画面"));
  label8 = label(this, "Label8", i, "カメラ番号", twipsRect(120, 240, 855, 255));
  text5 = textBox(this, "Text5", i, "カメラ番号", twipsRect(1080, 240, 255, 270));
  text4 = textBox(this, "Text4", i, "デバイス名称", twipsRect(1440, 240, 1455, 270));
  label7 = label(this, "Label7", i, "書込先", twipsRect(120, 480, 855, 255));
  text2 = textBox(this, "Text2", i, "書込先", twipsRect(1080, 480, 1815, 270));
  label1 = label(this, "Label1", i, "取込中", twipsRect(120, 720, 855, 255));
  text1 = textBox(this, "Text1", i, "取込日時", twipsRect(1080, 720, 1815, 270));
  label(this, "Label4", i, "形式", twipsRect(120, 960, 855, 255));
  label5 = label(this, "Label5", i, "", twipsRect(1080, 960, 1095, 255), true);
  label9 = label(this, "Label9", i, "", twipsRect(2280, 960, 615, 255), true);
  label(this, "Label3", i, "Size", twipsRect(120, 1200, 855, 255));
  label6 = label(this, "Label6", i, "", twipsRect(1080, 1200, 1815, 255), true);

  // The bars are a little thicker than designed, and their captions taller,
  // so that they can be grabbed and read; nothing moves under the picture.
  check1 = place(new QCheckBox("加工", this), indexed("Check1", i), "加工", 120, 1500, 735, 240);
  hscroll4 = bar(this, Qt::Horizontal, "HScroll4", i, 0, 36, 18, twipsRect(840, 1500, 1215, 210));
  auto* label19 = label(this, "Label19", i, "-180    0    180", twipsRect(840, 1710, 1335, 210));
  check2 = place(new QCheckBox("色調", this), indexed("Check2", i), "色調", 2280, 1500, 735, 240);

  vscroll2 = bar(this, Qt::Vertical, "VScroll2", i, 1, 10, 10, twipsRect(105, 2040, 225, 1215));
  auto* label18 = label(this, "Label18", i, "大", twipsRect(120, 1800, 255, 255));
  auto* label17 = label(this, "Label17", i, "小", twipsRect(120, 3240, 255, 255));

  picture1 = new ClickLabel(QString(), this);
  tag(picture1, indexed("Picture1", i), QStringLiteral("画像"));
  picture1->setGeometry(twipsRect(360, 1920, 2295, 1575));
  picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setBackColor(picture1, Qt::white);

  // Brightness: 20 at the top, 0 at the bottom.
  vscroll1 = bar(this, Qt::Vertical, "VScroll1", i, 0, 20, 10, twipsRect(2730, 2040, 225, 1215));
  vscroll1->setInvertedAppearance(true);
  vscroll1->setInvertedControls(true);
  auto* label16 = label(this, "Label16", i, "明", twipsRect(2760, 1800, 255, 255));
  auto* label15 = label(this, "Label15", i, "暗", twipsRect(2760, 3240, 255, 255));

  auto* label2 = label(this, "Label2", i, "RED", twipsRect(240, 3495, 615, 195));
  auto* label13 = label(this, "Label13", i, "GREEN", twipsRect(1320, 3495, 615, 195));
  auto* label14 = label(this, "Label14", i, "BLUE", twipsRect(2280, 3495, 615, 195));
  hscroll1 = bar(this, Qt::Horizontal, "HScroll1", i, 0, 20, 10, twipsRect(10, 3690, 975, 240));
  hscroll2 = bar(this, Qt::Horizontal, "HScroll2", i, 0, 20, 10, twipsRect(1035, 3690, 975, 240));
  hscroll3 = bar(this, Qt::Horizontal, "HScroll3", i, 0, 20, 10, twipsRect(2040, 3690, 975, 240));

  flashLabels = {label17, label18, label19, label15, label16, label2, label13, label14};
  // Sizes in pixels, as the boxes are: "カメラ番号" fills its 57-pixel label
  // at 11 pixels a character; the bar captions are 10 pixels in 13 to 14.
  QFont text = font();
  text.setPixelSize(11);
  setFont(text);
  QFont small = text;
  small.setPixelSize(10);
  for (ClickLabel* l : {label19, label2, label13, label14}) l->setFont(small);
  setFixedSize(twipsRect(0, 0, 3135, 3975).size());
}

QScrollBar* UnitPane::barOf(int flashLabel) const {
  switch (flashLabel) {
    case 0:
    case 1: return vscroll2;
    case 2: return hscroll4;
    case 3:
    case 4: return vscroll1;
    case 5: return hscroll1;
    case 6: return hscroll2;
    default: return hscroll3;
  }
}

int UnitPane::neutralOf(int flashLabel) { return flashLabel == 2 ? 18 : 10; }

}  // namespace selvane::screens
