#include "screens/capture_screen.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "control_screen/korvex_client.h"
#include "control_screen/plenkit_client.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
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

CaptureScreen::CaptureScreen(model::UnitModel& model, KorvexClient& korvex, const Plenkit* plenkit, FullScreenView* fullScreen)
    : model_(model), korvex_(korvex), plenkit_(plenkit), fullScreen_(fullScreen) {
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
  scheduler_.setInterval(1000);
  flashTimer_.setInterval(1000);
  connect(&scheduler_, &QTimer::timeout, this, &CaptureScreen::schedulerTick);
  connect(&flashTimer_, &QTimer::timeout, this, &CaptureScreen::flashTick);

  // Load: centre, give the control the units' display windows, show the status box.
  adjustSize();
  if (QScreen* s = screen()) move(s->geometry().center() - rect().center());
  for (int i = 0; i < model::kUnitCount; ++i) korvex_.SetCapWind(i + 1, pl::hwndOf(text3_[static_cast<size_t>(i)]));
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
  const Place tight[] = {{command4_, 60, 120, 675, 435}, {command1_, 795, 120, 675, 435},
                         {text6_, 1530, 60, 615, 375},   {label10_, 1530, 450, 615, 225},
                         {label11_, 2205, 120, 735, 225}, {label12_, 2205, 390, 735, 225}};
  for (const Place& p : narrow ? tight : wide) p.w->setGeometry(twipsRect(p.left, p.top, p.width, p.height));
  QPushButton* right[] = {command5_, command2_, command3_};
  for (int i = 0; i < 3; ++i) {
    QRect r = twipsRect(3720 + i * 1200, 120, 1095, 435);               // as designed
    if (units == 2) r = twipsRect(3600 + i * 960, 120, 900, 435);      // ends at 6,420
    if (narrow) r = twipsRect(60 + i * 1080, 720, 1020, 435);          // second row
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

void CaptureScreen::start() {
  command1_->setEnabled(true);
  command4_->setEnabled(false);
  endFlashes();
  korvex_.CaptureStart(pl::hwndOf(text6_));
  pacing_.restart();
  ++runNumber_;
  scheduler_.start();
  running_ = true;
}

void CaptureScreen::stop() {
  command1_->setEnabled(false);
  command4_->setEnabled(true);
  korvex_.CaptureEnd();
  scheduler_.stop();
  for (int k = 0; k < model::kUnitCount; ++k) {
    model_.run[static_cast<size_t>(k)].capturePending = 0;
    model_.run[static_cast<size_t>(k)].elapsed = 0;
    setBackColor(panes_[static_cast<size_t>(k)]->label1, inactiveBorderColour());
  }
  running_ = false;
}

void CaptureScreen::back() {
  // Ends the run as Stop does, buttons included: the control screen's next
  // "開始" presses this screen's Start, which must be enabled by then.
  if (running_) stop();
  for (int k = 0; k < model::kUnitCount; ++k) {
    UnitPane* p = panes_[static_cast<size_t>(k)];
    model::Adjustments& a = model_.adjust[static_cast<size_t>(k)];
    a.rotation = p->hscroll4->value();
    a.zoom = p->vscroll2->value();
    a.brightness = p->vscroll1->value();
    a.red = p->hscroll1->value();
    a.green = p->hscroll2->value();
    a.blue = p->hscroll3->value();
    a.processing = p->check1->isChecked() ? 1 : 0;
    a.colour = p->check2->isChecked() ? 1 : 0;
    if (plenkit_) plenkit_->BitDispWindReset(k);
  }
  if (plenkit_) plenkit_->BitDispWindReset(6);
  flashTimer_.stop();
  endFlashes();
  hide();
  setEnabled(false);
  emit returnedToControlScreen();
}

void CaptureScreen::schedulerTick() {
  scheduler_.stop();
  for (int u = 1; u <= model::kUnitCount; ++u) {
    const size_t i = static_cast<size_t>(u - 1);
    model::RunFields& r = model_.run[i];
    if (!r.active) continue;
    r.elapsed += 1000;
    if (r.elapsed < r.interval) continue;
    if (r.capturePending) {
      r.elapsed = r.interval;  // hold at the edge until the frame has arrived
      continue;
    }
    if (pacing_.untilAsk(u - 1, r.interval) > 0) {
      // Asked between two ticks last time: ask when its interval has passed.
      r.elapsed = r.interval;
      askWhenDue(u - 1);
      continue;
    }
    requestCapture(u - 1);
    pacing_.askedOnTick(u - 1);
    r.elapsed = 0;
  }
  if (running_) scheduler_.start();
}

void CaptureScreen::requestCapture(int k) {
  const size_t i = static_cast<size_t>(k);
  model::RunFields& r = model_.run[i];
  if (korvex_.CaptureGo(k + 1, r.compressionNo * 16 + r.formatNo, r.startFrame) == 0) {
    setBackColor(panes_[i]->label1, kGreen);
    panes_[i]->label1->repaint();
    r.capturePending = 1;
  }
}

void CaptureScreen::frameHandled(int k) {
  if (!running_ || !model::isUnit(k)) return;
  const model::RunFields& r = model_.run[static_cast<size_t>(k)];
  if (r.active == 1 && r.elapsed >= r.interval) askWhenDue(k);
}

void CaptureScreen::askWhenDue(int k) {
  bool& scheduled = askScheduled_[static_cast<size_t>(k)];
  if (scheduled) return;
  scheduled = true;
  const int64_t left = pacing_.untilAsk(k, model_.run[static_cast<size_t>(k)].interval);
  QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, this, [this, k] {
    askScheduled_[static_cast<size_t>(k)] = false;
    askHeldUnit(k);
  });
}

void CaptureScreen::askHeldUnit(int k) {
  model::RunFields& r = model_.run[static_cast<size_t>(k)];
  if (!running_ || r.active != 1 || r.capturePending == 1 || r.elapsed < r.interval) return;
  if (pacing_.untilAsk(k, r.interval) > 0) {
    askWhenDue(k);
    return;
  }
  requestCapture(k);
  pacing_.asked(k);
  r.elapsed = 0;
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

void CaptureScreen::help() {
  WinHelpA(pl::hwndOf(this), model_.helpFile().toUtf8().constData(), HELP_FINDER, 0);
}

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
    if (plenkit_) plenkit_->ClickMessageSend(pl::hwndOf(command3_));
    else command3_->click();
    return;
  }
  event->accept();
}

}  // namespace selvane::screens
