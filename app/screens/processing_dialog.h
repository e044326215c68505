// The processing settings dialog of one unit (object name Form4): rotation, zoom, brightness and
// the red, green and blue levels as numbers in six lists. Only the lists the
// operator picked from are written back when it closes. UI thread only.
#pragma once
#include <QWidget>
#include <array>

#include "selvane/model/unit_model.h"

class QComboBox;

namespace selvane::screens {

class ProcessingDialog : public QWidget {
  Q_OBJECT
 public:
  // Edits the adjustments of model.editedUnit; `controlScreen` is enabled again on close.
  ProcessingDialog(model::UnitModel& model, QWidget* controlScreen);

  QComboBox* list(int i) const { return lists_[static_cast<size_t>(i)]; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  model::UnitModel& model_;
  QWidget* controlScreen_;
  std::array<QComboBox*, 6> lists_{};
  std::array<bool, 6> changed_{};
};

}  // namespace selvane::screens
