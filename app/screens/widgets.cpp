#include "screens/widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QMouseEvent>
#include <QPalette>
#include <QStyleFactory>
#include <QWidget>

namespace selvane::screens {

void tag(QWidget* w, const QString& formName, const QString& caption) {
  w->setObjectName(formName);
  w->setAccessibleDescription(formName);
  w->setAccessibleName(caption.isEmpty() ? formName : caption);
}

QString indexed(const char* name, int index) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index); }

void setBackColor(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, colour);
  p.setColor(QPalette::Base, colour);
  p.setColor(QPalette::Button, colour);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

QColor backColor(const QWidget* w) { return w->palette().color(QPalette::Window); }

QColor inactiveBorderColour() { return QColor(180, 180, 180); }

QStringList itemTexts(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

void applyProgramLook() {
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));  // honours the colours that carry state
  QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9));
}

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QLabel::mousePressEvent(event);
}

}  // namespace selvane::screens
