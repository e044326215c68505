// Which item of a list box to select for a text. The screens hand over the
// list's items and apply the answer themselves (DspComboText for the loader's
// rule, CB_SETCURSEL for the others), so the rules stay free of windows.
#pragma once

#include <QStringList>
#include <QStringView>

namespace selvane::publication {

// The settings loader's rule: the first item equal to the text (exact, case
// included), else item 0; -1 (select nothing) for an empty list.
int selectionFirstFallback(const QStringList& items, QStringView text);

// The processing settings screen's rule: the first equal item, else the last
// item; -1 (select nothing) for an empty list.
int selectionLastFallback(const QStringList& items, QStringView text);

// 1-based position of the first item equal to the text; 0 when none is or the
// list is empty.
int positionInList(const QStringList& items, QStringView text);

// The design-time items of a unit row's four lists on the control screen.
enum class RowList { Size, Interval, StartFrame, Compression };
const QStringList& rowListItems(RowList list);

}  // namespace selvane::publication
