// The page's three files, built into the program as Qt resources.
#pragma once

#include "unit_reader.h"

#include <QByteArray>

#include <vector>

namespace selvane::web {

struct PageAsset {
  enum Name { Page, Script, Style };
  QByteArray body;
  const char* type;
};

// Loaded once, then shared read-only by every request.
const PageAsset& pageAsset(PageAsset::Name name);

// The page with every unit's tile as it is now, so the first paint shows the
// pictures (with JavaScript off too); the script then adopts the tiles.
QByteArray pageWithTiles(const std::vector<UnitViewPtr>& views, int64_t nowMs);

}  // namespace selvane::web
