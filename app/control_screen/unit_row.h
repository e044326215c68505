// One unit row of the control screen: use box, device name, write directory
// with its "DIR" button, interval, start frame, compression, size, the
// camera test and processing buttons, and the save box. The control screen
// makes six. UI thread only.
#pragma once
#include <QWidget>

#include "selvane/publication/list_rules.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace selvane {

class UnitRow : public QWidget {
  Q_OBJECT
 public:
  UnitRow(int k, QWidget* parent);

  // Column widths in pixels, shared with the headings above the rows.
  static const int kColumns[11];

  int index() const { return k_; }
  QComboBox* list(publication::RowList which) const;

  QCheckBox* check1;      // use box "1号機".."6号機"
  QLineEdit* text1;       // device name
  QLineEdit* text2;       // write directory
  QPushButton* command1;  // "DIR"
  QComboBox* combo3;      // interval
  QComboBox* combo4;      // start frame
  QComboBox* combo5;      // compression (takes typed text)
  QComboBox* combo2;      // size
  QPushButton* command5;  // "表示"
  QPushButton* command7;  // "加工"
  QCheckBox* check2;      // save box

  // Greys or restores the row's texts and lists (and the use box).
  void setGreyed(bool grey);

 private:
  int k_;
};

}  // namespace selvane
