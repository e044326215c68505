// The camera test screen (object name Form6): a live preview of one unit's camera with
// the size and compression it delivers. The control screen is disabled (and
// its clock stopped) while it is open. UI thread only.
#pragma once
#include <QWidget>
#include <functional>

#include "selvane/model/unit_model.h"

class QLineEdit;

namespace selvane {
class KorvexClient;
}

namespace selvane::screens {

class CameraTestScreen : public QWidget {
  Q_OBJECT
 public:
  // Tests model.testUnit with model.testFormatNo / testCompressionNo;
  // `deviceName` is the unit row's device name. `onClosed` runs after the
  // preview has stopped.
  CameraTestScreen(model::UnitModel& model, KorvexClient& korvex, const QString& deviceName,
                   std::function<void()> onClosed);

  QLineEdit* previewBox() const { return text3_; }
  QLineEdit* sizeBox() const { return text2_; }
  QLineEdit* compressionBox() const { return text6_; }
  QLineEdit* unitBox() const { return text5_; }
  QLineEdit* deviceBox() const { return text4_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  KorvexClient& korvex_;
  std::function<void()> onClosed_;
  QLineEdit* text3_;
  QLineEdit* text2_;
  QLineEdit* text6_;
  QLineEdit* text5_;
  QLineEdit* text4_;
};

}  // namespace selvane::screens
