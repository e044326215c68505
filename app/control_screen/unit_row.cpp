#include "control_screen/unit_row.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "screens/widgets.h"

namespace selvane {

using screens::indexed;
using screens::tag;

const int UnitRow::kColumns[11] = {72, 170, 190, 40, 72, 62, 72, 86, 48, 48, 24};

namespace {

QComboBox* list(QWidget* parent, const char* name, int k, const QString& caption, publication::RowList items,
                bool editable) {
  auto* c = new QComboBox(parent);
  tag(c, indexed(name, k), caption);
  c->addItems(publication::rowListItems(items));
  c->setEditable(editable);
  // A typed text stays typed: the fixed items are what give a number.
  c->setInsertPolicy(QComboBox::NoInsert);
  return c;
}

}  // namespace

UnitRow::UnitRow(int k, QWidget* parent) : QWidget(parent), k_(k) {
  tag(this, indexed("Row", k), QStringLiteral("%1号機").arg(k + 1));
  const QString unit = QStringLiteral("%1号機").arg(k + 1);
  check1 = new QCheckBox(unit, this);
  tag(check1, indexed("Check1", k), unit);
  text1 = new QLineEdit(this);
  tag(text1, indexed("Text1", k), QStringLiteral("デバイス名称"));
  text2 = new QLineEdit(this);
  tag(text2, indexed("Text2", k), QStringLiteral("書込デレクトリ"));
  command1 = new QPushButton(QStringLiteral("DIR"), this);
  tag(command1, indexed("Command1", k), QStringLiteral("DIR"));
  combo3 = selvane::list(this, "Combo3", k, QStringLiteral("間隔Msec"), publication::RowList::Interval, false);
  combo4 = selvane::list(this, "Combo4", k, QStringLiteral("開始Frame"), publication::RowList::StartFrame, false);
  combo5 = selvane::list(this, "Combo5", k, QStringLiteral("圧縮"), publication::RowList::Compression, true);
  combo2 = selvane::list(this, "Combo2", k, QStringLiteral("Format"), publication::RowList::Size, false);
  command5 = new QPushButton(QStringLiteral("表示"), this);
  tag(command5, indexed("Command5", k), QStringLiteral("表示"));
  command7 = new QPushButton(QStringLiteral("加工"), this);
  tag(command7, indexed("Command7", k), QStringLiteral("加工"));
  // The save box's caption "Check2" is its name; only the box is shown.
  check2 = new QCheckBox(this);
  tag(check2, indexed("Check2", k), QStringLiteral("Check2"));
  check2->setToolTip(QStringLiteral("保存"));

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  QWidget* cells[11] = {check1, text1, text2, command1, combo3, combo4, combo5, combo2, command5, command7, check2};
  for (int i = 0; i < 11; ++i) {
    cells[i]->setFixedWidth(kColumns[i]);
    row->addWidget(cells[i]);
  }
  row->addStretch();
}

QComboBox* UnitRow::list(publication::RowList which) const {
  switch (which) {
    case publication::RowList::Size: return combo2;
    case publication::RowList::Interval: return combo3;
    case publication::RowList::StartFrame: return combo4;
    default: return combo5;
  }
}

void UnitRow::setGreyed(bool grey) {
  for (QWidget* w : {static_cast<QWidget*>(text1), static_cast<QWidget*>(text2), static_cast<QWidget*>(combo2),
                     static_cast<QWidget*>(combo3), static_cast<QWidget*>(combo4), static_cast<QWidget*>(combo5),
                     static_cast<QWidget*>(check1)}) {
    if (grey) {
      screens::setBackColor(w, screens::kGrey);
      // The toolkit's disabled text is nearly the grey itself; the device
      // name and settings of an absent camera stay readable.
      QPalette p = w->palette();
      for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        p.setColor(QPalette::Disabled, role, screens::kGreyedText);
      w->setPalette(p);
    } else {
      w->setPalette(QPalette());
      w->setAutoFillBackground(false);
    }
  }
}

}  // namespace selvane
