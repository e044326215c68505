// Texts in the Japanese Windows code page (CP932, Shift_JIS), the encoding
// that readers of cap.ctl on the network expect.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace selvane::publication {

// The text as exactly `width` CP932 bytes: cut after the last whole character
// that fits (a double-byte character is never split) and padded with blanks.
// A character CP932 cannot hold becomes '?'.
QByteArray cp932Field(QStringView text, int width);

// CP932 bytes as text; a byte that starts no valid character becomes U+FFFD.
QString fromCp932(QByteArrayView bytes);

}  // namespace selvane::publication
