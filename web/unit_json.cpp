#include "unit_json.h"

#include "unit_health.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace selvane::web {

namespace {
QJsonValue isoTime(int64_t ms) {
  if (ms <= 0) return QJsonValue::Null;
  return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QJsonArray unitsArray(const std::vector<UnitViewPtr>& views) {
  QJsonArray units;
  for (const UnitViewPtr& v : views) units.append(unitJson(*v));
  return units;
}
}  // namespace

QJsonObject unitJson(const UnitView& v) {
  QJsonObject o;
  o["unit"] = v.number;
  o["readable"] = v.readable;
  o["problem"] = v.readable ? QJsonValue::Null : QJsonValue(v.problem);
  const bool known = v.hasRecord;
  o["state"] = known ? QJsonValue(v.state) : QJsonValue::Null;
  o["format"] = known ? QJsonValue(v.state == 2 ? "jpeg" : "bmp") : QJsonValue::Null;
  o["nextSlot"] = known ? QJsonValue(v.nextSlot) : QJsonValue::Null;
  o["newestSlot"] = v.newestSlot >= 0 ? QJsonValue(v.newestSlot) : QJsonValue::Null;
  o["written"] = QJsonArray{v.written[0], v.written[1]};
  o["texts"] = QJsonArray{v.texts[0], v.texts[1]};
  o["text"] = v.newestSlot >= 0 ? v.texts[static_cast<size_t>(v.newestSlot)] : QString();
  o["changed"] = isoTime(v.changedMs);
  o["changedMs"] = static_cast<double>(v.changedMs);
  o["health"] = healthName(v.activity.health);
  o["pictures"] = static_cast<double>(v.activity.pictures);
  o["lastPicture"] = isoTime(v.activity.lastPictureMs);
  o["intervalMs"] = static_cast<double>(v.activity.intervalMs);
  o["lastError"] =
      v.activity.lastError.isEmpty()
          ? QJsonValue::Null
          : QJsonValue(QJsonObject{{"text", v.activity.lastError}, {"at", isoTime(v.activity.lastErrorMs)}});
  if (v.picture) {
    const Picture& p = *v.picture;
    o["picture"] = QJsonObject{
        {"etag", QString::fromStdString(p.etag)},
        {"seq", static_cast<double>(v.pictureSeq)},
        {"type", p.storedJpeg ? "image/jpeg" : "image/bmp"},
        {"bytes", static_cast<double>(p.stored.size())},
        {"width", p.width},
        {"height", p.height},
        {"modified", isoTime(p.modifiedSecs * 1000)},
        {"jpeg", !p.jpeg.isEmpty()},
    };
  } else {
    o["picture"] = QJsonValue::Null;
  }
  return o;
}

QByteArray unitsJson(const std::vector<UnitViewPtr>& views) {
  return QJsonDocument(unitsArray(views)).toJson(QJsonDocument::Compact);
}

QByteArray feedJson(const std::vector<UnitViewPtr>& views, int64_t nowMs) {
  return QJsonDocument(QJsonObject{{"now", static_cast<double>(nowMs)}, {"units", unitsArray(views)}})
      .toJson(QJsonDocument::Compact);
}

}  // namespace selvane::web
