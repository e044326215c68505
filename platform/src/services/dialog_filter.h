// The open-file dialog's filter list: "description\0pattern\0...\0\0" as Qt
// name filters.
#pragma once
#include <QStringList>

namespace pl::services {

// One Qt name filter per description/pattern pair, "description (patterns)"
// with ';'-separated patterns turned into blanks; a description that already
// ends in exactly that parenthesis is kept as it is. A description without a
// pattern is dropped. Reads at most `limit` bytes of `filter` (may be null).
QStringList nameFiltersOf(const char* filter, size_t limit = 65536);

}  // namespace pl::services
