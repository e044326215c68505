#include "window/window_text.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <cstring>

namespace pl::detail {

void setObjectText(QObject* object, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(object)) {
    edit->setText(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(object)) {
    plain->setPlainText(text);
  } else if (auto* rich = qobject_cast<QTextEdit*>(object)) {
    rich->setPlainText(text);
  } else if (auto* label = qobject_cast<QLabel*>(object)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    button->setText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
    if (combo->isEditable()) {
      combo->setEditText(text);
    } else if (int i = combo->findText(text); i >= 0) {
      combo->setCurrentIndex(i);
    }
  } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
    group->setTitle(text);
  } else if (auto* widget = qobject_cast<QWidget*>(object)) {
    widget->setWindowTitle(text);
  }
}

QString objectText(const QObject* object) {
  if (auto* edit = qobject_cast<const QLineEdit*>(object)) return edit->text();
  if (auto* plain = qobject_cast<const QPlainTextEdit*>(object)) return plain->toPlainText();
  if (auto* rich = qobject_cast<const QTextEdit*>(object)) return rich->toPlainText();
  if (auto* label = qobject_cast<const QLabel*>(object)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(object)) return button->text();
  if (auto* combo = qobject_cast<const QComboBox*>(object)) return combo->currentText();
  if (auto* group = qobject_cast<const QGroupBox*>(object)) return group->title();
  if (auto* widget = qobject_cast<const QWidget*>(object)) return widget->windowTitle();
  return {};
}

int copyUtf8(const QByteArray& utf8, char* buffer, int max) {
  if (!buffer || max <= 0) return 0;
  qsizetype n = std::min<qsizetype>(utf8.size(), max - 1);
  // Back off over continuation bytes so a character is never cut in half.
  while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
  std::memcpy(buffer, utf8.constData(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return static_cast<int>(n);
}

LRESULT comboMessage(QObject* object, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = false;
  auto* combo = qobject_cast<QComboBox*>(object);
  if (!combo) return 0;
  *handled = true;
  const int index = static_cast<int>(static_cast<intptr_t>(wParam));
  switch (msg) {
    case CB_ADDSTRING: {
      const char* text = reinterpret_cast<const char*>(lParam);
      if (!text) return CB_ERR;
      combo->addItem(QString::fromUtf8(text));
      return combo->count() - 1;
    }
    case CB_GETCOUNT: return combo->count();
    case CB_GETCURSEL: return combo->currentIndex() < 0 ? CB_ERR : combo->currentIndex();
    case CB_SETCURSEL:
      // setCurrentIndex raises no `activated`: selecting by message is no click.
      if (index < 0 || index >= combo->count()) {
        combo->setCurrentIndex(-1);
        return CB_ERR;
      }
      combo->setCurrentIndex(index);
      return index;
    case CB_GETLBTEXTLEN:
      if (index < 0 || index >= combo->count()) return CB_ERR;
      return combo->itemText(index).toUtf8().size();
    case CB_GETLBTEXT: {
      // Like the classic message the buffer must hold CB_GETLBTEXTLEN + 1 bytes.
      char* out = reinterpret_cast<char*>(lParam);
      if (!out || index < 0 || index >= combo->count()) return CB_ERR;
      const QByteArray utf8 = combo->itemText(index).toUtf8();
      std::memcpy(out, utf8.constData(), static_cast<size_t>(utf8.size()) + 1);
      return utf8.size();
    }
    case CB_RESETCONTENT: combo->clear(); return 0;
    default: *handled = false; return 0;
  }
}

}  // namespace pl::detail
