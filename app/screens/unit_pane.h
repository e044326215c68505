// One unit's pane on the capture screen ("キャプチャ画面"): its picture box
// (a display slot of the image library), the unit's details and its picture
// adjustments. The capture screen makes six of them. UI thread only.
#pragma once
#include <QGroupBox>
#include <array>

class QCheckBox;
class QLineEdit;
class QScrollBar;

namespace selvane::screens {

class ClickLabel;

class UnitPane : public QGroupBox {
  Q_OBJECT
 public:
  UnitPane(int index, QWidget* parent);

  int index() const { return index_; }

  QLineEdit* text5;      // camera number
  QLineEdit* text4;      // device name
  QLineEdit* text2;      // write directory
  QLineEdit* text1;      // capture time or error text
  ClickLabel* label8;    // "カメラ番号"
  ClickLabel* label7;    // "書込先"
  ClickLabel* label1;    // "取込中": the capture lamp
  ClickLabel* label5;    // format text
  ClickLabel* label9;    // compression text
  ClickLabel* label6;    // size text
  QCheckBox* check1;     // "加工": rotation and zoom on
  QCheckBox* check2;     // "色調": brightness and colour on
  QScrollBar* hscroll4;  // rotation 0..36
  QScrollBar* vscroll2;  // zoom 1 (top) .. 10
  QScrollBar* vscroll1;  // brightness 20 (top) .. 0
  QScrollBar* hscroll1;  // red 0..20
  QScrollBar* hscroll2;  // green 0..20
  QScrollBar* hscroll3;  // blue 0..20
  ClickLabel* picture1;  // display slot `index`

  // The eight adjustment labels in flash-table order: Label17 "小",
  // Label18 "大", Label19, Label15 "暗", Label16 "明", Label2 "RED",
  // Label13 "GREEN", Label14 "BLUE".
  std::array<ClickLabel*, 8> flashLabels{};
  // The scroll bar each flash label resets, and its neutral value.
  QScrollBar* barOf(int flashLabel) const;
  static int neutralOf(int flashLabel);

 private:
  int index_;
};

}  // namespace selvane::screens
