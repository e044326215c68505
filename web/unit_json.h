// The JSON documents of /units, /units/N and the page's event feed.
#pragma once

#include "unit_reader.h"

#include <QByteArray>
#include <QJsonObject>

#include <vector>

namespace selvane::web {

QJsonObject unitJson(const UnitView& view);
QByteArray unitsJson(const std::vector<UnitViewPtr>& views);  // an array
// The page's event: {"now": ms, "units": [...]}, the server clock for ages.
QByteArray feedJson(const std::vector<UnitViewPtr>& views, int64_t nowMs);

}  // namespace selvane::web
