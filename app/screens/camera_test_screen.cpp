#include "screens/camera_test_screen.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "clients/korvex_client.h"
#include "platform/qt_bridge.h"
#include "screens/widgets.h"
#include "selvane/model/text_helpers.h"

namespace selvane::screens {
namespace {

QLineEdit* box(const char* name, const QString& caption) {
  auto* e = new QLineEdit;
  tag(e, QString::fromLatin1(name), caption);
  e->setReadOnly(true);
  return e;
}

QLabel* label(const char* name, const QString& caption) {
  auto* l = new QLabel(caption);
  tag(l, QString::fromLatin1(name), caption);
  return l;
}

}  // namespace

CameraTestScreen::CameraTestScreen(model::UnitModel& model, KorvexClient& korvex, const QString& deviceName,
                                   std::function<void()> onClosed)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      korvex_(korvex),
      onClosed_(std::move(onClosed)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("ＵＳＢカメラテスト画面  Ver 2.0"));
  tag(this, "Form6", windowTitle());

  auto* preview = new QGroupBox(QStringLiteral("キャプチャー画面"));
  tag(preview, "Frame1", preview->title());
  auto* pg = new QGridLayout(preview);
  text3_ = box("Text3", QStringLiteral("Preview"));
  text3_->setFixedSize(320, 240);
  text2_ = box("Text2", QStringLiteral("形式"));
  text6_ = box("Text6", QStringLiteral("圧縮"));
  pg->addWidget(label("Label1", QStringLiteral("Preview")), 0, 0, Qt::AlignTop);
  pg->addWidget(text3_, 0, 1, 1, 3);
  pg->addWidget(label("Label2", QStringLiteral("形式")), 1, 0);
  pg->addWidget(text2_, 1, 1);
  pg->addWidget(label("Label3", QStringLiteral("圧縮")), 1, 2);
  pg->addWidget(text6_, 1, 3);

  auto* details = new QGroupBox(QStringLiteral("設定情報"));
  tag(details, "Frame2", details->title());
  auto* dg = new QGridLayout(details);
  text5_ = box("Text5", QStringLiteral("カメラ番号"));
  text5_->setFixedWidth(40);
  text4_ = box("Text4", QStringLiteral("デバイス名称"));
  dg->addWidget(label("Label8", QStringLiteral("カメラ番号")), 0, 0);
  dg->addWidget(text5_, 0, 1);
  dg->addWidget(text4_, 0, 2);

  auto* end = new QPushButton(QStringLiteral("表示テスト 終了"));
  tag(end, "Command1", end->text());
  connect(end, &QPushButton::clicked, this, &QWidget::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(preview);
  layout->addWidget(details);
  layout->addWidget(end, 0, Qt::AlignRight);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  const int unit = std::clamp(model.testUnit, 0, 5);
  text5_->setText(QString::number(unit + 1));
  text4_->setText(deviceName);
  text4_->setCursorPosition(0);
  adjustSize();
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  show();  // the preview window needs its size before the picture is placed
  korvex_.PreViewFmtSet(model.testFormatNo, model.testCompressionNo);
  korvex_.PreUsbGo(pl::hwndOf(text3_), unit + 1);
  const int32_t width = korvex_.GetPreBmpWidth();
  const int32_t height = korvex_.GetPreBmpHight();
  const int32_t compression = korvex_.GetPreBmpComp();
  text2_->setText(QStringLiteral("%1 *%2").arg(width).arg(height));
  text6_->setText(model::compressionText(compression));
}

void CameraTestScreen::closeEvent(QCloseEvent* event) {
  korvex_.PreUsbEnd();
  if (onClosed_) onClosed_();
  event->accept();
}

}  // namespace selvane::screens
