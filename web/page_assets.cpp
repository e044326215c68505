#include "page_assets.h"

#include <QFile>

#include <array>

namespace selvane::web {

namespace {
PageAsset load(const char* path, const char* type) {
  QFile file(QString::fromLatin1(path));
  file.open(QIODevice::ReadOnly);
  return {file.readAll(), type};
}
}  // namespace

const PageAsset& pageAsset(PageAsset::Name name) {
  static const std::array<PageAsset, 3> assets{
      load(":/selvane-web/index.html", "text/html; charset=utf-8"),
      load(":/selvane-web/page.js", "text/javascript; charset=utf-8"),
      load(":/selvane-web/page.css", "text/css; charset=utf-8"),
  };
  return assets[static_cast<size_t>(name)];
}

}  // namespace selvane::web
