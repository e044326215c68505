// The control screen's widgets, the settings rows and the commands.
#include "control_screen/control_screen.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "clients/plenkit_client.h"
#include "control_screen/unit_row.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "screens/camera_test_screen.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/help_screen.h"
#include "screens/processing_dialog.h"
#include "screens/widgets.h"

namespace selvane {

using screens::tag;

namespace {

QPushButton* button(const char* name, const QString& caption) {
  auto* b = new QPushButton(caption);
  tag(b, QString::fromLatin1(name), caption);
  return b;
}

QLineEdit* textBox(const char* name, const QString& caption) {
  auto* t = new QLineEdit;
  tag(t, QString::fromLatin1(name), caption);
  return t;
}

QRadioButton* radio(const char* name, const QString& caption) {
  auto* o = new QRadioButton(caption);
  tag(o, QString::fromLatin1(name), caption);
  return o;
}

QGroupBox* frame(const QString& caption, const char* name) {
  auto* f = new QGroupBox(caption);
  tag(f, QString::fromLatin1(name), caption);
  return f;
}

}  // namespace

ControlScreen::ControlScreen(model::UnitModel& model) : model_(model), run_(model) {
  setWindowTitle(QStringLiteral("Wacharoコントロール画面  Ver 2.0"));
  tag(this, "Form2", windowTitle());
  buildScreen();
  buildMenus();
  clock_.setInterval(1000);
  connect(&clock_, &QTimer::timeout, this, &ControlScreen::tick);
}

ControlScreen::~ControlScreen() {
  // The library expects its slots released before their windows go.
  if (plenkit_) {
    for (int slot = 0; slot <= 6; ++slot) plenkit_->BitDispWindReset(slot);
  }
  run_.setView(nullptr);
  captureScreen_.reset();
  fullScreenView_.reset();
  run_.releaseControl();
}

QRadioButton* ControlScreen::option(int n) const {
  switch (n) {
    case 1: return option1_;
    case 2: return option2_;
    case 3: return option3_;
    default: return option4_;
  }
}

void ControlScreen::buildScreen() {
  auto* client = new QWidget(this);
  setCentralWidget(client);
  auto* page = new QVBoxLayout(client);

  QGroupBox* units = frame(QStringLiteral("接続中のＵＳＢカメラ"), "Frame1");
  auto* unitLayout = new QVBoxLayout(units);
  auto* headings = new QHBoxLayout;
  headings->setSpacing(4);
  const QString titles[11] = {
      "カメラ", "デバイス名称", "書込デレクトリ", "", "間隔Msec", "開始Frame", "圧縮", "Format", "", "", ""};
  for (int i = 0; i < 11; ++i) {
    // Columns without a heading get room, not a nameless label a screen
    // reader would have to announce.
    if (titles[i].isEmpty()) {
      headings->addSpacing(UnitRow::kColumns[i]);
      continue;
    }
    auto* l = new QLabel(titles[i]);
    l->setFixedWidth(UnitRow::kColumns[i]);
    l->setAccessibleName(titles[i]);
    headings->addWidget(l);
  }
  headings->addStretch();
  unitLayout->addLayout(headings);
  for (int k = 0; k < model::kUnitCount; ++k) {
    auto* r = new UnitRow(k, units);
    rows_[static_cast<size_t>(k)] = r;
    unitLayout->addWidget(r);
    connect(r->check1, &QCheckBox::stateChanged, this, [this, k] { useBoxClicked(k); });
    connect(r->check2, &QCheckBox::stateChanged, this, [this, k] { saveBoxClicked(k); });
    connect(r->command1, &QPushButton::clicked, this, [this, k] { chooseWriteDir(k); });
    connect(r->command5, &QPushButton::clicked, this, [this, k] { openCameraTest(k); });
    connect(r->command7, &QPushButton::clicked, this, [this, k] { openProcessing(k); });
  }
  page->addWidget(units);

  auto* lower = new QHBoxLayout;
  QGroupBox* usb = frame(QStringLiteral("USBカメラ"), "Frame2");
  auto* usbGrid = new QGridLayout(usb);
  text4_ = textBox("Text4", QStringLiteral("日時"));
  text4_->setReadOnly(true);
  text4_->setText(QStringLiteral("2004/10/10 12:15:10"));
  text5_ = textBox("Text5", QStringLiteral("起動Dir"));
  text5_->setReadOnly(true);
  text3_ = textBox("Text3", QStringLiteral("カメラ件数"));
  text3_->setReadOnly(true);
  text3_->setFixedWidth(48);
  usbGrid->addWidget(text4_, 0, 0, 1, 2);
  usbGrid->addWidget(new QLabel(QStringLiteral("起動Dir")), 1, 0);
  usbGrid->addWidget(text5_, 1, 1);
  usbGrid->addWidget(new QLabel(QStringLiteral("カメラ件数")), 2, 0);
  usbGrid->addWidget(text3_, 2, 1, Qt::AlignLeft);
  lower->addWidget(usb, 2);

  QGroupBox* work = frame(QStringLiteral("処理"), "Frame3");
  auto* workLayout = new QHBoxLayout(work);
  command2_ = button("Command2", QStringLiteral("開始"));
  command3_ = button("Command3", QStringLiteral("終了"));
  workLayout->addWidget(command2_);
  workLayout->addWidget(command3_);
  lower->addWidget(work);
  auto* side = new QVBoxLayout;
  command4_ = button("Command4", QStringLiteral("保存"));
  command6_ = button("Command6", QStringLiteral("ＨＥＬＰ"));
  side->addWidget(command4_);
  side->addWidget(command6_);
  lower->addLayout(side);

  QGroupBox* safe = frame(QStringLiteral("SafeMode"), "Frame4");
  auto* safeLayout = new QVBoxLayout(safe);
  option1_ = radio("Option1", QStringLiteral("Safe Mode"));
  option2_ = radio("Option2", QStringLiteral("Normal"));
  safeLayout->addWidget(option1_);
  safeLayout->addWidget(option2_);
  lower->addWidget(safe);

  QGroupBox* send = frame(QStringLiteral("送信モード"), "Frame5");
  auto* sendLayout = new QGridLayout(send);
  option4_ = radio("Option4", QStringLiteral("JPG"));
  option3_ = radio("Option3", QStringLiteral("BMAP"));
  label10_ = new QLabel(QStringLiteral("50"));
  tag(label10_, "Label10", QStringLiteral("50"));
  label10_->setToolTip(QStringLiteral("JPG品質"));
  label10_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label10_->setAlignment(Qt::AlignCenter);
  label10_->setMinimumWidth(36);
  sendLayout->addWidget(option4_, 0, 0);
  sendLayout->addWidget(label10_, 0, 1);
  sendLayout->addWidget(option3_, 1, 0);
  lower->addWidget(send);
  page->addLayout(lower);

  // Never shown: the device list the control fills, and the box that
  // receives texts written by window handle.
  combo1_ = new QComboBox(client);
  tag(combo1_, "Combo1", QStringLiteral("デバイス一覧"));
  combo1_->hide();
  text7_ = new QLineEdit(client);
  tag(text7_, "Text7", QStringLiteral("受信テキスト"));
  text7_->hide();

  auto* safeGroup = new QButtonGroup(this);
  safeGroup->addButton(option1_);
  safeGroup->addButton(option2_);
  auto* sendGroup = new QButtonGroup(this);
  sendGroup->addButton(option3_);
  sendGroup->addButton(option4_);
  connect(option1_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) model_.safeMode = 1;
  });
  connect(option2_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) model_.safeMode = 0;
  });
  connect(option3_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) model_.sendFormat = model::kSendBmp;
  });
  connect(option4_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) model_.sendFormat = model::kSendJpeg;
  });
  connect(command2_, &QPushButton::clicked, this, &ControlScreen::startCapture);
  connect(command3_, &QPushButton::clicked, this, &QWidget::close);
  connect(command4_, &QPushButton::clicked, this, &ControlScreen::saveSettingsAsked);
  connect(command6_, &QPushButton::clicked, this,
          [this] { WinHelpA(pl::hwndOf(this), helpFile().toUtf8().constData(), HELP_FINDER, 0); });
}

void ControlScreen::buildMenus() {
  auto item = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル"));
  file->setObjectName("FILE");
  item(file, "EXIT", QStringLiteral("終了"), [this] { close(); });
  QMenu* option = menuBar()->addMenu(QStringLiteral("オプション"));
  option->setObjectName("option");
  item(option, "HELP", QStringLiteral("ヘルプ"), [this] {
    if (plenkit_) plenkit_->ClickMessageSend(pl::hwndOf(command6_));
  });
  item(option, "dirdel", QStringLiteral("履歴削除"), [this] { resetUnitSettings(); });
  item(option, "fback", QStringLiteral("再読込"), [this] { reloadSettings(); });
  QMenu* jpeg = menuBar()->addMenu(QStringLiteral("JPG品質"));
  jpeg->setObjectName("JPGQUALTY");
  for (int q = 90; q >= 20; q -= 10) {
    const QByteArray name = "JPG" + QByteArray::number(q);
    item(jpeg, name.constData(), QString::number(q), [this, q] { setJpegQuality(q); });
  }
  QMenu* version = menuBar()->addMenu(QStringLiteral("Version"));
  version->setObjectName("verdsp");
  item(version, "Verdisp", QStringLiteral("表示"), [this] {
    if (model_.helpOpen == 1) return;
    model_.helpOpen = 1;
    model_.helpOpener = 0;
    setEnabled(false);
    openHelp(0);
  });
}

// --- Settings rows ----------------------------------------------------------

namespace {
Qt::CheckState stateOf(int16_t v) { return v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked; }
void setBox(QCheckBox* box, int16_t value) {
  if (value < 0 || value > 2) return;  // a check box refuses other values
  box->setTristate(value == 2);
  box->setCheckState(stateOf(value));
}
int boxValue(const QCheckBox* box) {
  return box->checkState() == Qt::Checked ? 1 : box->checkState() == Qt::PartiallyChecked ? 2 : 0;
}
}  // namespace

void ControlScreen::setUseBox(int k, int16_t value) { setBox(rows_[static_cast<size_t>(k)]->check1, value); }
void ControlScreen::setSaveBox(int k, int16_t value) { setBox(rows_[static_cast<size_t>(k)]->check2, value); }
void ControlScreen::setDeviceName(int k, const QString& text) { rows_[static_cast<size_t>(k)]->text1->setText(text); }
void ControlScreen::setWriteDirText(int k, const QString& text) { rows_[static_cast<size_t>(k)]->text2->setText(text); }

QStringList ControlScreen::listItems(int k, publication::RowList list) const {
  return screens::itemTexts(rows_[static_cast<size_t>(k)]->list(list));
}

void ControlScreen::selectListItem(int k, publication::RowList list, int index) {
  // The loader selects through the capture control, as it always has.
  QComboBox* c = rows_[static_cast<size_t>(k)]->list(list);
  if (korvex().valid())
    korvex().DspComboText(pl::hwndOf(c), index);
  else
    c->setCurrentIndex(index);
}

model::RowSnapshot ControlScreen::rowSnapshot() const {
  model::RowSnapshot snapshot;
  for (int k = 0; k < model::kUnitCount; ++k) {
    const UnitRow* r = rows_[static_cast<size_t>(k)];
    model::RowTexts& t = snapshot[static_cast<size_t>(k)];
    t.useBox = boxValue(r->check1);
    t.saveBox = boxValue(r->check2);
    t.deviceName = r->text1->text();
    t.size = r->combo2->currentText();
    t.interval = r->combo3->currentText();
    t.startFrame = r->combo4->currentText();
    t.compression = r->combo5->currentText();
    t.writeDir = r->text2->text();
  }
  return snapshot;
}

void ControlScreen::useBoxClicked(int k) {
  UnitRow* r = rows_[static_cast<size_t>(k)];
  if (r->check1->checkState() != Qt::PartiallyChecked) r->check1->setTristate(false);
  if (model_.run[static_cast<size_t>(k)].devicePresent != 1) return;
  const bool use = r->check1->checkState() == Qt::Checked;
  const bool save = r->check2->checkState() == Qt::Checked;
  r->check2->setEnabled(use);
  r->text2->setEnabled(use && save);
  r->command1->setEnabled(use && save);
}

void ControlScreen::saveBoxClicked(int k) {
  UnitRow* r = rows_[static_cast<size_t>(k)];
  if (r->check2->checkState() != Qt::PartiallyChecked) r->check2->setTristate(false);
  const bool save = r->check2->checkState() == Qt::Checked;
  r->text2->setEnabled(save);
  r->command1->setEnabled(save);
}

void ControlScreen::returnFromCapture() {
  run_.releaseWriteDirs();
  setEnabled(true);
  show();
  clock_.start();  // the clock runs again whenever the control screen is in front
}

}  // namespace selvane
