// Window texts and combo-box items of the toolkit's widgets.
#pragma once
#include <QString>

#include "platform/window.h"

class QObject;

namespace pl::detail {

void setObjectText(QObject* object, const QString& text);
QString objectText(const QObject* object);
// Copies UTF-8 into `buffer` (at most max-1 bytes, never splitting a
// character, always terminated when max > 0); returns the bytes copied.
int copyUtf8(const QByteArray& utf8, char* buffer, int max);
// Answers CB_* messages for a combo box; `handled` is false for other messages.
LRESULT comboMessage(QObject* object, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);

}  // namespace pl::detail
