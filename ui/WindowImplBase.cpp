#include "ui/WindowImplBase.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <glog/logging.h>

#include "platform/UserPaths.h"
#include "ui/SubSkin.h"

namespace kal::ui {
namespace {

// A posted message; owns its payload until the receiver takes it.
class CustomMessageEvent : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const int kind = QEvent::registerEventType();
    return static_cast<QEvent::Type>(kind);
  }
  explicit CustomMessageEvent(Message m) : QEvent(Kind()), message(std::move(m)) {}
  Message message;
};

constexpr const char* kTagProperty = "kal-tag";

}  // namespace

void SetTag(QWidget* row, int tag) { row->setProperty(kTagProperty, tag); }

int TagOf(const QObject* control) {
  for (const QObject* o = control; o; o = o->parent()) {
    const QVariant v = o->property(kTagProperty);
    if (v.isValid()) return v.toInt();
  }
  return -1;
}

WindowImplBase::WindowImplBase(QWidget* parent) : QDialog(parent) {}

WindowImplBase::~WindowImplBase() { detail::Unregister(this); }

QString WindowImplBase::SkinFolder() { return SubSkinFolder(); }

void WindowImplBase::Fail(const char* step) const {
  throw std::runtime_error((ClassName() + "::" + step).toStdString());
}

std::string MissingControls(const SkinSpec& skin, const QWidget* root) {
  std::string missing;
  for (const ControlList& list : skin.controls) {
    for (const char* name : list) {
      if (!root->findChild<QObject*>(name))
        missing += std::string(skin.className) + ": " + name + "\n";
    }
  }
  return missing;
}

void WindowImplBase::LoadSkin(const SkinSpec& skin) {
  QWidget* root = nullptr;
  try {
    root = LoadSubSkin(skin.file, this);
  } catch (const std::runtime_error&) {
    Fail("GetSkinFile");
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(root);
  if (!root->windowTitle().isEmpty()) setWindowTitle(root->windowTitle());
  if (!MissingControls(skin, root).empty()) Fail("Init");
  ConnectControls(root);
}

void WindowImplBase::Create() {
  if (const SkinSpec* skin = Skin()) LoadSkin(*skin);
  try {
    InitWindow();
  } catch (const std::runtime_error&) {
    throw;
  } catch (...) {
    Fail("Init");
  }
}

bool WindowImplBase::TryCreate() {
  try {
    Create();
    return true;
  } catch (const std::exception& e) {
    Failed("Create", e.what());
  }
  return false;
}

void WindowImplBase::Failed(const char* step, const char* what) const {
  const std::string line = ClassName().toStdString() + " " + step + ": " + what;
  LOG(ERROR) << "window failed: " << line;
  PostTo(WindowRole::kMain, WMU_WINDOW_FAILED, 0, 0, std::make_unique<TextPayload>(line));
}

template <typename F>
void WindowImplBase::Guarded(const char* step, F handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Failed(step, e.what());
  } catch (...) {
    Failed(step, "unknown error");
  }
}

void WindowImplBase::MakeOverlay(const OverlayStyle& style) {
  Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
  if (style.onTop) flags |= Qt::WindowStaysOnTopHint;
  if (!style.takesFocus) flags |= Qt::WindowDoesNotAcceptFocus;
  setWindowFlags(flags);
  setAttribute(Qt::WA_ShowWithoutActivating, !style.takesFocus);
  setAttribute(Qt::WA_TranslucentBackground, style.translucent);
}

void WindowImplBase::TakeRole(WindowRole role) { detail::Register(role, this); }

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
  for (QSpinBox* s : root->findChildren<QSpinBox*>()) {
    connect(s, &QSpinBox::valueChanged, this, [this, s](int v) { Dispatch("valuechanged", s, v); });
  }
  for (QComboBox* c : root->findChildren<QComboBox*>()) {
    connect(c, &QComboBox::currentIndexChanged, this,
            [this, c](int index) { Dispatch("selectchanged", c, index); });
  }
  for (QLineEdit* e : root->findChildren<QLineEdit*>()) {
    if (qobject_cast<QAbstractSpinBox*>(e->parent())) continue;  // its box tells
    connect(e, &QLineEdit::textChanged, this, [this, e] { Dispatch("textchanged", e, 0); });
  }
  for (QTextEdit* e : root->findChildren<QTextEdit*>()) {
    connect(e, &QTextEdit::textChanged, this, [this, e] { Dispatch("textchanged", e, 0); });
  }
  for (QPlainTextEdit* e : root->findChildren<QPlainTextEdit*>()) {
    connect(e, &QPlainTextEdit::textChanged, this, [this, e] { Dispatch("textchanged", e, 0); });
  }
  // A tab layout tells which page it shows by the page's name.
  for (QTabWidget* t : root->findChildren<QTabWidget*>()) {
    connect(t, &QTabWidget::currentChanged, this, [this, t](int index) {
      if (QWidget* page = t->widget(index)) Dispatch("selectchanged", page, 1);
    });
  }
  for (QListWidget* l : root->findChildren<QListWidget*>()) {
    connect(l, &QListWidget::itemClicked, this,
            [this, l] { Dispatch("itemclick", l, l->currentRow()); });
    connect(l, &QListWidget::currentRowChanged, this,
            [this, l](int row) { Dispatch("itemselect", l, row); });
  }
}

void WindowImplBase::Dispatch(const QString& type, QObject* sender, int value) {
  Guarded("Notify",
          [&] { Notify(TNotifyUI{type, sender->objectName(), sender, value, TagOf(sender)}); });
}

// The end of every notification's way: nothing is handled here yet (the
// account area's controls come with their dialogs).
void WindowImplBase::NotifyBase(const TNotifyUI&) {}

void WindowImplBase::PostMessage(WindowImplBase* target, unsigned message, std::uintptr_t wParam,
                                 std::intptr_t lParam, std::unique_ptr<MessagePayload> payload) {
  QCoreApplication::postEvent(
      target, new CustomMessageEvent(Message{message, wParam, lParam, std::move(payload)}));
}

void WindowImplBase::Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  Message m{message, wParam, lParam, nullptr};
  bool handled = false;
  Guarded("HandleCustomMessage", [&] { HandleCustomMessage(m, handled); });
}

bool WindowImplBase::event(QEvent* e) {
  if (e->type() == CustomMessageEvent::Kind()) {
    bool handled = false;
    Guarded("HandleCustomMessage",
            [&] { HandleCustomMessage(static_cast<CustomMessageEvent*>(e)->message, handled); });
    return true;
  }
  return QDialog::event(e);
}

void WindowImplBase::paintEvent(QPaintEvent* e) {
  QDialog::paintEvent(e);
  QPainter painter(this);
  Guarded("OnPaint", [&] { OnPaint(painter, e->region()); });
}

void WindowImplBase::wheelEvent(QWheelEvent* e) {
  e->ignore();
  Guarded("OnWheel", [&] { OnWheel(e); });
  if (!e->isAccepted()) QDialog::wheelEvent(e);
}

void WindowImplBase::keyReleaseEvent(QKeyEvent* e) {
  e->ignore();
  Guarded("OnKeyRelease", [&] { OnKeyRelease(e); });
  if (!e->isAccepted()) QDialog::keyReleaseEvent(e);
}

void WindowImplBase::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  Guarded("OnResize", [&] { OnResize(); });
}

void WindowImplBase::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // The screen is known once the window has its native window.
  if (QWindow* w = windowHandle(); w && !watched_) {
    connect(w, &QWindow::screenChanged, this, [this](QScreen* screen) {
      WatchScreen(screen);
      Guarded("OnScreenChanged", [&] { OnScreenChanged(); });
    });
    WatchScreen(w->screen());
  }
}

void WindowImplBase::WatchScreen(QScreen* screen) {
  if (watched_) disconnect(watched_, nullptr, this, nullptr);
  watched_ = screen;
  if (!screen) return;
  const auto changed = [this] { Guarded("OnScreenChanged", [&] { OnScreenChanged(); }); };
  connect(screen, &QScreen::geometryChanged, this, changed);
  connect(screen, &QScreen::logicalDotsPerInchChanged, this, changed);
  connect(screen, &QObject::destroyed, this, [this] { watched_ = nullptr; });
}

bool WindowImplBase::Mouse(QMouseEvent* e) {
  e->ignore();
  Guarded("OnMouse", [&] { OnMouse(e); });
  return e->isAccepted();
}

void WindowImplBase::mousePressEvent(QMouseEvent* e) {
  if (!Mouse(e)) QDialog::mousePressEvent(e);
}
void WindowImplBase::mouseMoveEvent(QMouseEvent* e) {
  if (!Mouse(e)) QDialog::mouseMoveEvent(e);
}
void WindowImplBase::mouseReleaseEvent(QMouseEvent* e) {
  if (!Mouse(e)) QDialog::mouseReleaseEvent(e);
}
void WindowImplBase::mouseDoubleClickEvent(QMouseEvent* e) {
  if (!Mouse(e)) QDialog::mouseDoubleClickEvent(e);
}

void WindowImplBase::keyPressEvent(QKeyEvent* e) {
  e->ignore();
  Guarded("OnKey", [&] { OnKey(e); });
  if (e->isAccepted()) return;
  // A dialog would hide itself on Escape and press its default button on
  // Enter; these windows decide that for themselves.
  switch (e->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return;
    default:
      QDialog::keyPressEvent(e);
  }
}

int WindowImplBase::RunModal() {
  QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  const int result = exec();
  if (owner && owner->isVisible()) owner->activateWindow();
  return result;
}

void WindowImplBase::SetTimer(int id, int milliseconds, bool singleShot) {
  QTimer*& t = timers_[id];
  if (!t) {
    t = new QTimer(this);
    connect(t, &QTimer::timeout, this, [this, id] { Guarded("OnTimer", [&] { OnTimer(id); }); });
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
