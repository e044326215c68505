#include "selvane/publication/list_rules.h"

namespace selvane::publication {

namespace {
int firstEqual(const QStringList& items, QStringView text) {
  for (qsizetype i = 0; i < items.size(); ++i)
    if (QStringView(items[i]) == text) return int(i);
  return -1;
}
}  // namespace

int selectionFirstFallback(const QStringList& items, QStringView text) {
  if (items.isEmpty()) return -1;
  const int i = firstEqual(items, text);
  return i >= 0 ? i : 0;
}

int selectionLastFallback(const QStringList& items, QStringView text) {
  if (items.isEmpty()) return -1;
  const int i = firstEqual(items, text);
  return i >= 0 ? i : int(items.size() - 1);
}

int positionInList(const QStringList& items, QStringView text) { return firstEqual(items, text) + 1; }

const QStringList& rowListItems(RowList list) {
  static const QStringList size{QStringLiteral("640*480"), QStringLiteral("320*240"), QStringLiteral("160*120")};
  static const QStringList interval = [] {
    QStringList items;
    for (int ms = 1000; ms <= 9000; ms += 1000) items << QString::number(ms);
    return items;
  }();
  static const QStringList startFrame = [] {
    QStringList items;
    for (int n = 5; n <= 50; n += 5) items << QString::number(n);
    return items;
  }();
  static const QStringList compression{QStringLiteral("IYUV"), QStringLiteral("I420"), QStringLiteral("RGB")};
  switch (list) {
    case RowList::Size: return size;
    case RowList::Interval: return interval;
    case RowList::StartFrame: return startFrame;
    case RowList::Compression: break;
  }
  return compression;
}

}  // namespace selvane::publication
