#include "page_assets.h"

#include "unit_health.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <array>

namespace selvane::web {

namespace {
PageAsset load(const char* path, const char* type) {
  QFile file(QString::fromLatin1(path));
  file.open(QIODevice::ReadOnly);
  return {file.readAll(), type};
}
QByteArray escaped(const QString& text) {
  return text.toHtmlEscaped().replace(u'"', QStringLiteral("&quot;")).toUtf8();
}

// The same words as healthLabels in page.js.
QString healthLabel(Health health) {
  switch (health) {
    case Health::Ok: return QStringLiteral("正常");
    case Health::Waiting: return QStringLiteral("画像待ち");
    case Health::Unreadable: return QStringLiteral("読み込み不可");
    case Health::Frozen: return QStringLiteral("静止画のまま（同じ画像が続いています）");
    case Health::Stale: return QStringLiteral("更新停止（新しい画像が届いていません）");
  }
  return {};
}

// As page.js writes it (toLocaleString("ja-JP"), this computer's time zone).
QString lastErrorLine(const UnitActivity& a) {
  const QString at = QDateTime::fromMSecsSinceEpoch(a.lastErrorMs).toString(QStringLiteral("yyyy/M/d H:mm:ss"));
  return QStringLiteral("最後のエラー: %1（%2）").arg(a.lastError, at);
}

// The same words and markup as tileFor() and render() in page.js.
QByteArray tile(const UnitView& v, int64_t nowMs) {
  const QByteArray n = QByteArray::number(v.number);
  const Picture* p = v.picture.get();
  const bool shown = p && !p->jpeg.isEmpty();
  QString note;
  if (!v.readable)
    note = QStringLiteral("読み込めません（%1）").arg(v.problem);
  else if (!p)
    note = QStringLiteral("画像はまだありません");
  else if (!shown)
    note = QStringLiteral("この画像は表示できません");
  QByteArray img = "<img alt=\"" + n + "号機の最新画像\"";
  QString age;
  if (shown) {
    const QByteArray bare = QByteArray::fromStdString(p->etag).replace('"', "");
    img += " src=\"/units/" + n + "/latest.jpg?v=" + bare + "\" data-tag=\"" +
           escaped(QString::fromStdString(p->etag)) + "\"";
    const int64_t s = std::max<int64_t>(0, (nowMs - v.changedMs + 500) / 1000);
    if (v.changedMs > 0)
      age = s < 60     ? QStringLiteral("%1秒前").arg(s)
            : s < 3600 ? QStringLiteral("%1分前").arg(s / 60)
                       : QStringLiteral("%1時間前").arg(s / 3600);
  }
  img += ">";
  const QString text = v.newestSlot >= 0 ? v.texts[static_cast<size_t>(v.newestSlot)] : QString();
  return "<section class=\"tile" + QByteArray(v.readable ? "" : " unreadable") + "\" id=\"unit-" + n +
         "\" data-changed=\"" + QByteArray::number(v.changedMs) + "\" data-health=\"" + healthName(v.activity.health) +
         "\"><div class=\"frame\">" + img + "<div class=\"note\">" + escaped(note) +
         "</div></div><div class=\"caption\"><span class=\"number\">" + n + "号機</span><span class=\"text\">" +
         escaped(text) + "</span><span class=\"age\">" + escaped(age) + "</span><span class=\"health\">" +
         escaped(healthLabel(v.activity.health)) + "</span><span class=\"error\">" +
         (v.activity.lastError.isEmpty() ? QByteArray() : escaped(lastErrorLine(v.activity))) +
         "</span></div></section>\n";
}

}  // namespace

QByteArray pageWithTiles(const std::vector<UnitViewPtr>& views, int64_t nowMs) {
  QByteArray tiles = "\n";
  for (const UnitViewPtr& v : views) tiles += tile(*v, nowMs);
  QByteArray page = pageAsset(PageAsset::Page).body;
  return page.replace("<main id=\"units\"></main>", "<main id=\"units\">" + tiles + "</main>");
}

const PageAsset& pageAsset(PageAsset::Name name) {
  static const std::array<PageAsset, 3> assets{
      load(":/selvane-web/index.html", "text/html; charset=utf-8"),
      load(":/selvane-web/page.js", "text/javascript; charset=utf-8"),
      load(":/selvane-web/page.css", "text/css; charset=utf-8"),
  };
  return assets[static_cast<size_t>(name)];
}

}  // namespace selvane::web
