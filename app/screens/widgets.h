// Small pieces every screen uses: twips, accessible names, colours as
// state, and a label that can be clicked.
#pragma once
#include <QColor>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QStringList>

class QComboBox;
class QWidget;

namespace selvane::screens {

// Screens are laid out in twips, 15 to a pixel.
constexpr int px(int twips) { return (twips + 7) / 15; }
inline QRect twipsRect(int left, int top, int width, int height) {
  return QRect(px(left), px(top), px(width), px(height));
}

// Names the control for screen readers and automation: the caption as
// accessible name, the form's control name (for example "Text2(3)") as
// accessible description and object name.
void tag(QWidget* w, const QString& formName, const QString& caption = {});
// The form's control name of member `name` of a control array: "Text2(3)".
QString indexed(const char* name, int index);

// Colours carry state on the screens (lamps, greyed rows, labels).
void setBackColor(QWidget* w, const QColor& colour);
QColor backColor(const QWidget* w);
// The classic system colour of an inactive window border.
QColor inactiveBorderColour();

inline const QColor kGrey(200, 200, 200);
inline const QColor kCyan(0, 255, 255);
inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 255, 0);
inline const QColor kYellow(255, 255, 0);
// Text of a disabled control on the grey background.
inline const QColor kGreyedText(80, 80, 80);

// The item texts of a list box, in order.
QStringList itemTexts(const QComboBox* list);

// The program's style and font (the Japanese font it ships with), for the
// program and for anything that shows its screens as the operator sees them.
void applyProgramLook();

// A label that reports clicks (the classic label click).
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ClickLabel(const QString& text = {}, QWidget* parent = nullptr);
 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace selvane::screens
