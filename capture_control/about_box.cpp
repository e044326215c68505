// The About box and the control's own drawing.
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

#include "korvex_ctrl.h"
#include "platform/qt_bridge.h"

namespace korvex {
namespace {

// Dialog units of the classic 9-point font are roughly 1.5 x 2 pixels.
QSize dialogUnits(int dx, int dy) { return QSize(dx * 3 / 2, dy * 2); }

void runDialog(QDialog& dialog) {
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.exec();
}

}  // namespace

void CKorvexCtrl::AboutBox() {
  QDialog dialog(pl::widgetOf(host()));
  dialog.setWindowTitle("About Korvex Control");
  dialog.setFont(QFont("ＭＳ Ｐゴシック", 9));
  dialog.setMinimumSize(dialogUnits(260, 55));
  auto* icon = new QLabel(&dialog);
  icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
  auto* version = new QLabel("Korvex Control, Version 1.0", &dialog);
  auto* rights = new QLabel("Copyright (C) 2026 Selvane project", &dialog);
  auto* ok = new QPushButton("OK", &dialog);
  ok->setAccessibleName("OK");
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(rights);
  auto* row = new QHBoxLayout(&dialog);
  row->addWidget(icon);
  row->addLayout(texts, 1);
  row->addWidget(ok, 0, Qt::AlignTop);
  runDialog(dialog);
}

void CKorvexCtrl::paintControl() {
  // Only reached while the control's window handles a repaint.
  QWidget* widget = pl::widgetOf(window());
  if (!widget) return;
  QPainter painter(widget);
  painter.fillRect(widget->rect(), Qt::white);
  painter.setPen(Qt::black);
  painter.drawEllipse(widget->rect().adjusted(0, 0, -1, -1));
}

}  // namespace korvex
