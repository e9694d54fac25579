#include "ui/WindowImplBase.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QUiLoader>
#include <QVBoxLayout>

#include "platform/UserPaths.h"

namespace kal::ui {
namespace {

// A posted WMU_* message.
class CustomMessageEvent : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const int kind = QEvent::registerEventType();
    return static_cast<QEvent::Type>(kind);
  }
  CustomMessageEvent(unsigned m, std::uintptr_t w, std::intptr_t l)
      : QEvent(Kind()), message(m), wParam(w), lParam(l) {}
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

}  // namespace

WindowImplBase::WindowImplBase(QWidget* parent) : QDialog(parent) {}
WindowImplBase::~WindowImplBase() = default;

QString WindowImplBase::SkinFolder() {
  return QString::fromStdString(platform::ExecutableFolder()) + "/skin";
}

void WindowImplBase::Fail(const char* step) const {
  throw std::runtime_error((ClassName() + "::" + step).toStdString());
}

void WindowImplBase::Create() {
  QFile file(SkinFolder() + "/" + GetSkinFile());
  if (!file.open(QFile::ReadOnly)) Fail("GetSkinFile");
  QUiLoader loader;
  QWidget* root = loader.load(&file, this);
  if (!root) Fail("GetSkinFile");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(root);
  if (!root->windowTitle().isEmpty()) setWindowTitle(root->windowTitle());
  ConnectControls(root);
  try {
    InitWindow();
  } catch (const std::runtime_error&) {
    throw;
  } catch (...) {
    Fail("Init");
  }
}

void WindowImplBase::ConnectControls(QWidget* root) {
  for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
    if (b->isCheckable()) {
      connect(b, &QAbstractButton::toggled, this,
              [this, b](bool on) { Dispatch("selectchanged", b, on ? 1 : 0); });
    }
    connect(b, &QAbstractButton::clicked, this, [this, b] { Dispatch("click", b, 0); });
  }
  for (QAbstractSlider* s : root->findChildren<QAbstractSlider*>()) {
    connect(s, &QAbstractSlider::valueChanged, this,
            [this, s](int v) { Dispatch("valuechanged", s, v); });
  }
  for (QLineEdit* e : root->findChildren<QLineEdit*>()) {
    connect(e, &QLineEdit::textChanged, this, [this, e] { Dispatch("textchanged", e, 0); });
  }
  for (QListWidget* l : root->findChildren<QListWidget*>()) {
    connect(l, &QListWidget::itemClicked, this,
            [this, l] { Dispatch("itemclick", l, l->currentRow()); });
    connect(l, &QListWidget::currentRowChanged, this,
            [this, l](int row) { Dispatch("itemselect", l, row); });
  }
}

void WindowImplBase::Dispatch(const QString& type, QObject* sender, int value) {
  Notify(TNotifyUI{type, sender->objectName(), sender, value});
}

void WindowImplBase::NotifyBase(const TNotifyUI& msg) {
  ++baseNotifications_;
  lastBase_ = msg;
}

void WindowImplBase::PostMessage(WindowImplBase* target, unsigned message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  QCoreApplication::postEvent(target, new CustomMessageEvent(message, wParam, lParam));
}

bool WindowImplBase::event(QEvent* e) {
  if (e->type() == CustomMessageEvent::Kind()) {
    auto* m = static_cast<CustomMessageEvent*>(e);
    bool handled = false;
    HandleCustomMessage(m->message, m->wParam, m->lParam, handled);
    return true;
  }
  return QDialog::event(e);
}

void WindowImplBase::SetTimer(int id, int milliseconds, bool singleShot) {
  QTimer*& t = timers_[id];
  if (!t) {
    t = new QTimer(this);
    connect(t, &QTimer::timeout, this, [this, id] { OnTimer(id); });
  }
  t->setSingleShot(singleShot);
  t->start(milliseconds);
}

void WindowImplBase::KillTimer(int id) {
  const auto it = timers_.find(id);
  if (it != timers_.end() && it->second) it->second->stop();
}

bool WindowImplBase::TimerActive(int id) const {
  const auto it = timers_.find(id);
  return it != timers_.end() && it->second && it->second->isActive();
}

}  // namespace kal::ui
