// Message boxes: answered by the in-process hook, by the environment, by the
// operator in a modal QMessageBox, or without a display by their default.
#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <cstdio>
#include <mutex>

#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "services/app_identity.h"
#include "services/scripted_answers.h"
#include "services/ui_call.h"

namespace pl::services {
namespace {

std::mutex g_mutex;
PL_MSGBOX_HOOK g_hook = nullptr;
void* g_hookContext = nullptr;
bool g_titleSet = false;
std::string g_title;

bool isQuestion(UINT type) { return (type & 0x000Fu) == MB_YESNO; }
int defaultAnswer(UINT type) { return isQuestion(type) ? IDNO : IDOK; }

// A scripted entry as the answer of this box; anything a box of this kind
// cannot answer (including an exhausted list) is its default button.
int scriptedAnswer(const std::string& entry, UINT type) {
  if (!isQuestion(type)) return IDOK;
  if (entry == "yes") return IDYES;
  return IDNO;
}

const char* answerWord(int answer) {
  switch (answer) {
    case IDOK: return "ok";
    case IDYES: return "yes";
    case IDNO: return "no";
    default: return "other";
  }
}

QMessageBox::Icon iconOf(UINT type) {
  switch (type & 0x00F0u) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int showBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  QWidget* parent = owner ? pl::widgetOf(owner) : nullptr;
  // On the heap and guarded: the owner may be destroyed while the box runs,
  // and takes the box with it.
  QPointer<QMessageBox> box = new QMessageBox(parent);
  box->setWindowTitle(QString::fromStdString(caption));
  box->setText(QString::fromStdString(text));
  box->setTextFormat(Qt::PlainText);
  box->setIcon(iconOf(type));
  box->setWindowModality(Qt::ApplicationModal);
  box->setAttribute(Qt::WA_QuitOnClose, false);  // closing a box never ends the program
  box->setAccessibleName(QString::fromStdString(caption));
  box->setAccessibleDescription(QStringLiteral("MessageBox"));
  QPushButton* yes = nullptr;
  if (isQuestion(type)) {
    yes = box->addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(no);
  } else {
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
  }
  box->exec();
  int answer = IDOK;
  if (isQuestion(type)) answer = (box && box->clickedButton() == yes) ? IDYES : IDNO;
  delete box.data();
  return answer;
}

int messageBox(HWND owner, const char* textIn, const char* captionIn, UINT type) {
  const std::string text = textIn ? textIn : "";
  const std::string caption = captionIn ? captionIn : appTitle();

  PL_MSGBOX_HOOK hook;
  void* context;
  {
    std::lock_guard lock(g_mutex);
    hook = g_hook;
    context = g_hookContext;
  }
  int answer;
  if (hook) {
    answer = hook(context, text.c_str(), caption.c_str(), type);
  } else if (auto entry = nextScriptedAnswer()) {
    answer = scriptedAnswer(*entry, type);
  } else if (haveWidgets()) {
    answer = onUiThread([&] { return showBox(owner, text, caption, type); });
  } else {
    answer = defaultAnswer(type);
    std::fprintf(stderr, "[%s] %s -> %s\n", caption.c_str(), text.c_str(), answerWord(answer));
  }
  logMessageBox(caption, text, answerWord(answer));
  return answer;
}

}  // namespace

std::string appTitle() {
  {
    std::lock_guard lock(g_mutex);
    if (g_titleSet) return g_title;
  }
  if (QCoreApplication::instance()) {
    const QString name = QCoreApplication::applicationName();
    if (!name.isEmpty()) return name.toStdString();
  }
  return executableName();
}

}  // namespace pl::services

using namespace pl::services;

PL_EXTERN_C void pl_SetAppTitle(const char* title) {
  try {
    std::lock_guard lock(g_mutex);
    g_titleSet = title != nullptr;
    g_title = title ? title : "";
  } catch (...) {}
}

PL_EXTERN_C int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  try {
    return messageBox(owner, text, caption, type);
  } catch (...) { return defaultAnswer(type); }
}

PL_EXTERN_C void pl_SetMessageBoxHook(PL_MSGBOX_HOOK hook, void* context) {
  std::lock_guard lock(g_mutex);
  g_hook = hook;
  g_hookContext = hook ? context : nullptr;
}
