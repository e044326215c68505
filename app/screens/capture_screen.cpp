#include "screens/capture_screen.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "capture_run/capture_run.h"
#include "clients/plenkit_client.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "screens/camera_advice.h"
#include "screens/full_screen_view.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"

namespace selvane::screens {
namespace {

constexpr int kPaneWidth = 3135;
constexpr int kPaneHeight = 3975;
constexpr int kPaneLeft[3] = {0, 3240, 6480};
constexpr int kPaneTop[2] = {720, 4800};

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect r) {
  auto* b = new QPushButton(caption, parent);
  tag(b, QString::fromLatin1(name), caption);
  b->setGeometry(r);
  return b;
}

}  // namespace

CaptureScreen::CaptureScreen(model::UnitModel& model, CaptureRun& run, const Plenkit* plenkit,
                             FullScreenView* fullScreen)
    : model_(model), run_(run), plenkit_(plenkit), fullScreen_(fullScreen) {
  setWindowTitle(QStringLiteral("WacharoCapture版  Ver 2.0"));
  tag(this, "Form1", windowTitle());
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinimizeButtonHint);
  client_ = new QWidget(this);
  setCentralWidget(client_);
  client_->setFixedSize(px(kDesignWidth), px(kDesignHeight));
  buildTopRow(client_);
  for (int k = 0; k < model::kUnitCount; ++k) {
    auto* p = new UnitPane(k, client_);
    p->move(px(kPaneLeft[k % 3]), px(kPaneTop[k / 3]));
    panes_[static_cast<size_t>(k)] = p;
    connectPane(p);
  }
  buildMenus();
  flashTimer_.setInterval(1000);
  connect(&flashTimer_, &QTimer::timeout, this, &CaptureScreen::flashTick);

  // Load: centre, give the control the units' display windows, show the status box.
  adjustSize();
  if (QScreen* s = screen()) move(s->geometry().center() - rect().center());
  for (int i = 0; i < model::kUnitCount; ++i)
    run_.korvex().SetCapWind(i + 1, pl::hwndOf(text3_[static_cast<size_t>(i)]));
  text6_->show();
  setBackColor(label10_, QColor(0, 220, 220));
  label10_->setText(QStringLiteral("消去"));
  statusHidden_ = false;
  for (UnitPane* p : panes_)
    for (ClickLabel* l : p->flashLabels) setBackColor(l, kGrey);
}

void CaptureScreen::buildTopRow(QWidget* client) {
  command4_ = button(client, "Command4", "開始", {});
  command1_ = button(client, "Command1", "停止", {});
  command1_->setEnabled(false);
  text6_ = new QLineEdit(client);
  text6_->setReadOnly(true);
  tag(text6_, "Text6", "ライブ映像");
  label10_ = new ClickLabel(QStringLiteral("消去"), client);
  tag(label10_, "Label10", "消去");
  label10_->setAlignment(Qt::AlignCenter);
  label11_ = new ClickLabel(QStringLiteral("Normal"), client);
  tag(label11_, "Label11", "Normal");
  label11_->setAlignment(Qt::AlignCenter);
  label12_ = new ClickLabel(QStringLiteral("Safe"), client);
  tag(label12_, "Label12", "Safe");
  label12_->setAlignment(Qt::AlignCenter);
  command5_ = button(client, "Command5", "Version", {});
  command2_ = button(client, "Command2", "HELP", {});
  command3_ = button(client, "Command3", "戻る", {});
  placeTopRow(model::kUnitCount);
  for (int i = 0; i < model::kUnitCount; ++i) {
    auto* t = new QLineEdit(client);
    tag(t, indexed("Text3", i), indexed("Text3", i));
    t->setGeometry(twipsRect(7800 + i * 300, 120, 255, 285));
    t->hide();
    text3_[static_cast<size_t>(i)] = t;
  }
  connect(command4_, &QPushButton::clicked, this, &CaptureScreen::start);
  connect(command1_, &QPushButton::clicked, this, &CaptureScreen::stop);
  connect(command3_, &QPushButton::clicked, this, &CaptureScreen::back);
  connect(command2_, &QPushButton::clicked, this, &CaptureScreen::help);
  connect(command5_, &QPushButton::clicked, this, &CaptureScreen::version);
  connect(label10_, &ClickLabel::clicked, this, &CaptureScreen::toggleStatusBox);
}

void CaptureScreen::buildMenus() {
  auto press = [this](QPushButton* b) {
    if (plenkit_) plenkit_->ClickMessageSend(pl::hwndOf(b));
  };
  auto item = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, handler);
  };
  QMenu* end = menuBar()->addMenu(QStringLiteral("終了"));
  item(end, "menuret", "戻る", [=, this] { press(command3_); });
  QMenu* help = menuBar()->addMenu(QStringLiteral("ＨＥＬＰ"));
  item(help, "menuhdisp", "HELP表示", [=, this] { press(command2_); });
  QMenu* ver = menuBar()->addMenu(QStringLiteral("Version"));
  item(ver, "Verdisp", "Version表示", [=, this] { press(command5_); });
}

void CaptureScreen::connectPane(UnitPane* p) {
  const int k = p->index();
  model::Adjustments& a = model_.adjust[static_cast<size_t>(k)];
  connect(p->hscroll1, &QScrollBar::valueChanged, this, [&a](int v) { a.red = v; });
  connect(p->hscroll2, &QScrollBar::valueChanged, this, [&a](int v) { a.green = v; });
  connect(p->hscroll3, &QScrollBar::valueChanged, this, [&a](int v) { a.blue = v; });
  connect(p->hscroll4, &QScrollBar::valueChanged, this, [&a](int v) { a.rotation = v; });
  connect(p->vscroll1, &QScrollBar::valueChanged, this, [&a](int v) { a.brightness = v; });
  connect(p->vscroll2, &QScrollBar::valueChanged, this, [&a](int v) { a.zoom = v; });
  connect(p->check1, &QCheckBox::toggled, this, [&a](bool on) { a.processing = on ? 1 : 0; });
  connect(p->check2, &QCheckBox::toggled, this, [&a](bool on) { a.colour = on ? 1 : 0; });
  for (int label = 0; label < 8; ++label) {
    connect(p->flashLabels[static_cast<size_t>(label)], &ClickLabel::clicked, this,
            [this, k, label] { flashLabel(k, label); });
  }
  connect(p->picture1, &ClickLabel::clicked, this, [this, k] { pictureClicked(k); });
}

int CaptureScreen::placeTopRow(int units) {
  // As designed the buttons run to 7,215 twips: wider than the screen of one
  // or two panes. Two panes get narrower buttons; one pane puts "Version",
  // "HELP" and "戻る" on a second row and the panes below it.
  struct Place {
    QWidget* w;
    int left, top, width, height;
  };
  const bool narrow = units <= 1;
  const Place wide[] = {{command4_, 120, 120, 735, 435}, {command1_, 960, 120, 735, 435},
                        {text6_, 1920, 60, 615, 375},    {label10_, 1920, 450, 615, 225},
                        {label11_, 2760, 120, 735, 225}, {label12_, 2760, 390, 735, 225}};
  const Place tight[] = {{command4_, 60, 120, 675, 435},  {command1_, 795, 120, 675, 435},
                         {text6_, 1530, 60, 615, 375},    {label10_, 1530, 450, 615, 225},
                         {label11_, 2205, 120, 735, 225}, {label12_, 2205, 390, 735, 225}};
  for (const Place& p : narrow ? tight : wide) p.w->setGeometry(twipsRect(p.left, p.top, p.width, p.height));
  QPushButton* right[] = {command5_, command2_, command3_};
  for (int i = 0; i < 3; ++i) {
    QRect r = twipsRect(3720 + i * 1200, 120, 1095, 435);          // as designed
    if (units == 2) r = twipsRect(3600 + i * 960, 120, 900, 435);  // ends at 6,420
    if (narrow) r = twipsRect(60 + i * 1080, 720, 1020, 435);      // second row
    right[i]->setGeometry(r);
  }
  return narrow ? 600 : 0;
}

void CaptureScreen::layoutForUnits(int n) {
  if (n <= 0) return;
  const int w = kPaneWidth, h = kPaneHeight;
  const int below = placeTopRow(n);
  int width = kDesignWidth, height = kDesignHeight + below;
  if (n == 1) width = kDesignWidth - 2 * (w + 100);
  if (n == 2) width = kDesignWidth - (w + 100);
  if (n <= 3) height -= h;
  client_->setFixedSize(px(width), px(height));
  for (int k = 0; k < model::kUnitCount; ++k) {
    UnitPane* p = panes_[static_cast<size_t>(k)];
    p->move(px(kPaneLeft[k % 3]), px(kPaneTop[k / 3] + below));
    p->setVisible(k < n);
  }
  adjustSize();
}

bool CaptureScreen::running() const { return run_.running(); }

void CaptureScreen::start() {
  command1_->setEnabled(true);
  command4_->setEnabled(false);
  endFlashes();
  run_.begin(pl::hwndOf(text6_));
}

void CaptureScreen::stop() {
  command1_->setEnabled(false);
  command4_->setEnabled(true);
  run_.end();
  for (UnitPane* p : panes_) setBackColor(p->label1, inactiveBorderColour());
}

void CaptureScreen::back() {
  // Ends the run as Stop does, buttons included: the control screen's next
  // "開始" presses this screen's Start, which must be enabled by then.
  if (running()) stop();
  for (int k = 0; k < model::kUnitCount; ++k) {
    model_.adjust[static_cast<size_t>(k)] = liveAdjustments(k);
    if (plenkit_) plenkit_->BitDispWindReset(k);
  }
  if (plenkit_) plenkit_->BitDispWindReset(6);
  flashTimer_.stop();
  endFlashes();
  hide();
  setEnabled(false);
  emit returnedToControlScreen();
}

void CaptureScreen::showLamp(int k, Lamp lamp) {
  UnitPane* p = panes_[static_cast<size_t>(k)];
  switch (lamp) {
    case Lamp::Asked:
    case Lamp::Arrived:
      setBackColor(p->label1, lamp == Lamp::Asked ? kGreen : kCyan);
      p->label1->repaint();
      break;
    case Lamp::Lost:
      setBackColor(p->label1, kRed);
      p->picture1->repaint();  // the window paints itself: the picture is gone
      break;
  }
}

model::Adjustments CaptureScreen::liveAdjustments(int k) const {
  const UnitPane* p = panes_[static_cast<size_t>(k)];
  model::Adjustments a;
  a.rotation = p->hscroll4->value();
  a.zoom = p->vscroll2->value();
  a.brightness = p->vscroll1->value();
  a.red = p->hscroll1->value();
  a.green = p->hscroll2->value();
  a.blue = p->hscroll3->value();
  a.processing = p->check1->isChecked() ? 1 : 0;
  a.colour = p->check2->isChecked() ? 1 : 0;
  return a;
}

HWND CaptureScreen::statusWindow(int k) const { return pl::hwndOf(panes_[static_cast<size_t>(k)]->text1); }
QString CaptureScreen::statusText(int k) const { return panes_[static_cast<size_t>(k)]->text1->text(); }
void CaptureScreen::setStatusText(int k, const QString& text) { panes_[static_cast<size_t>(k)]->text1->setText(text); }

void CaptureScreen::showCameraAdvice(int k, bool failed) {
  selvane::showCameraAdvice(panes_[static_cast<size_t>(k)], k, failed);
}

void CaptureScreen::showFrameDetails(int k, const QString& format, const QString& compression, const QString& size) {
  UnitPane* p = panes_[static_cast<size_t>(k)];
  p->label5->setText(format);
  p->label9->setText(compression);
  p->label6->setText(size);
}

void CaptureScreen::flashLabel(int unit, int label) {
  ClickLabel* l = panes_[static_cast<size_t>(unit)]->flashLabels[static_cast<size_t>(label)];
  Flash& f = flash_[static_cast<size_t>(label)][static_cast<size_t>(unit)];
  l->setEnabled(false);
  f.active = true;
  f.saved = backColor(l);
  setBackColor(l, kGreen);
  flashTimer_.start();
  UnitPane* p = panes_[static_cast<size_t>(unit)];
  p->barOf(label)->setValue(UnitPane::neutralOf(label));
}

void CaptureScreen::flashTick() {
  flashTimer_.stop();
  // The timer runs one tick more after the flashes it ended.
  if (endFlashes()) flashTimer_.start();
}

bool CaptureScreen::endFlashes() {
  // Also for a flash cut short by Back or Start: its timer is stopped or
  // restarted there.
  bool ended = false;
  for (int label = 0; label < 8; ++label) {
    for (int unit = 0; unit < model::kUnitCount; ++unit) {
      Flash& f = flash_[static_cast<size_t>(label)][static_cast<size_t>(unit)];
      if (!f.active) continue;
      ClickLabel* l = panes_[static_cast<size_t>(unit)]->flashLabels[static_cast<size_t>(label)];
      setBackColor(l, f.saved);
      l->setEnabled(true);
      f = Flash{};
      ended = true;
    }
  }
  return ended;
}

void CaptureScreen::toggleStatusBox() {
  statusHidden_ = !statusHidden_;
  text6_->setVisible(!statusHidden_);
  setBackColor(label10_, statusHidden_ ? QColor(220, 220, 220) : QColor(0, 220, 220));
  label10_->setText(statusHidden_ ? QStringLiteral("表示") : QStringLiteral("消去"));
  label10_->setAccessibleName(label10_->text());
}

void CaptureScreen::pictureClicked(int unit) {
  setEnabled(false);
  hide();
  model_.fullScreenShown = 1;
  model_.fullScreenUnit = unit;
  if (plenkit_) plenkit_->BmpDispCopy(unit, 6);
  if (fullScreen_) fullScreen_->open();
}

void CaptureScreen::help() { WinHelpA(pl::hwndOf(this), model_.helpFile().toUtf8().constData(), HELP_FINDER, 0); }

void CaptureScreen::version() {
  if (model_.helpOpen != 0) return;
  model_.helpOpen = 1;
  model_.helpOpener = 1;
  setEnabled(false);
  if (openHelpScreen) openHelpScreen();
}

void CaptureScreen::closeEvent(QCloseEvent* event) {
  if (model_.helpOpen == 1 && model_.helpOpener == 1) {
    if (closeHelpScreen) closeHelpScreen();
    setEnabled(true);
  }
  if (model_.controlScreenRunning == 1) {
    // Closing while the control screen lives means Back: the window stays loaded.
    event->ignore();
    if (plenkit_)
      plenkit_->ClickMessageSend(pl::hwndOf(command3_));
    else
      command3_->click();
    return;
  }
  event->accept();
}

}  // namespace selvane::screens
