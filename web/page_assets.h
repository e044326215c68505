// The page's three files, built into the program as Qt resources.
#pragma once

#include <QByteArray>

namespace selvane::web {

struct PageAsset {
  enum Name { Page, Script, Style };
  QByteArray body;
  const char* type;
};

// Loaded once, then shared read-only by every request.
const PageAsset& pageAsset(PageAsset::Name name);

}  // namespace selvane::web
