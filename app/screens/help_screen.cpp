#include "screens/help_screen.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "screens/widgets.h"

namespace selvane::screens {

HelpScreen::HelpScreen(model::UnitModel& model, QWidget* opener)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), model_(model), opener_(opener) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("USBカメラHELP Ver 2.0"));
  tag(this, "Form3", windowTitle());
  text1_ = new QLineEdit(this);
  tag(text1_, "Text1", QStringLiteral("バージョン"));
  text1_->setReadOnly(true);
  text2_ = new QPlainTextEdit(this);
  tag(text2_, "Text2", QStringLiteral("製作者"));
  text2_->setReadOnly(true);
  text2_->setFixedHeight(72);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  tag(ok, "Command1", QStringLiteral("OK"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text1_);
  layout->addWidget(text2_);
  layout->addWidget(ok, 0, Qt::AlignRight);
  resize(420, 170);
  connect(ok, &QPushButton::clicked, this, &QWidget::close);

  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  show();
  text1_->setText(QStringLiteral("WacharoCapture版  Ver 2.0"));
  text2_->setPlainText(QStringLiteral(
      "WacharoCapture版 V2.0\r\nSelvane プロジェクト\r\nCopyright (C) 2026 Selvane project. All rights reserved.\r\n"));
}

void HelpScreen::closeEvent(QCloseEvent* event) {
  if (opener_) opener_->setEnabled(true);
  model_.helpOpen = 0;
  event->accept();
}

}  // namespace selvane::screens
