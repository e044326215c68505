// The help window (object name Form3): the program's version and maker lines. Opened by
// the control screen or the capture screen, which it disables while shown
// and enables again when it closes. UI thread only.
#pragma once
#include <QWidget>

#include "selvane/model/unit_model.h"

class QLineEdit;
class QPlainTextEdit;

namespace selvane::screens {

class HelpScreen : public QWidget {
  Q_OBJECT
 public:
  // `opener` is re-enabled on close; the model's help-open flag is cleared.
  HelpScreen(model::UnitModel& model, QWidget* opener);

  QLineEdit* text1() const { return text1_; }
  QPlainTextEdit* text2() const { return text2_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  model::UnitModel& model_;
  QWidget* opener_;
  QLineEdit* text1_;
  QPlainTextEdit* text2_;
};

}  // namespace selvane::screens
