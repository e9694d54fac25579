#include "ui/PopupMenu.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>

namespace kal::ui {

PopupMenu::PopupMenu(QWidget* owner) : WindowImplBase(owner) {
  // Not a Qt popup: one opened from the tray icon's own press would not get
  // the pointer, and a screen reader does not list popups among the
  // program's windows.
  MakeOverlay({.onTop = true, .takesFocus = true});
  setAttribute(Qt::WA_DeleteOnClose);
}

QRect PopupMenu::WorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
}

void PopupMenu::OpenWithCorner(QPoint corner, QWidget* opener) {
  opener_ = opener ? opener : QApplication::focusWidget();
  move(corner);
  show();
  raise();
  activateWindow();
  const auto items = findChildren<QAbstractButton*>();
  if (!items.isEmpty()) items.front()->setFocus(Qt::PopupFocusReason);
}

void PopupMenu::Notify(const TNotifyUI& msg) {
  if (msg.type == "click" && qobject_cast<QAbstractButton*>(msg.sender)) {
    OnItem(msg.senderName);
    close();
    return;
  }
  NotifyBase(msg);
}

void PopupMenu::OnKey(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Escape:
      close();
      break;
    case Qt::Key_Up:
      focusNextPrevChild(false);
      break;
    case Qt::Key_Down:
      focusNextPrevChild(true);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (auto* b = qobject_cast<QAbstractButton*>(focusWidget())) b->click();
      break;
    default:
      return;
  }
  e->accept();
}

bool PopupMenu::event(QEvent* e) {
  if (e->type() == QEvent::WindowDeactivate && isVisible()) close();
  return WindowImplBase::event(e);
}

void PopupMenu::wheelEvent(QWheelEvent* e) { e->accept(); }

void PopupMenu::closeEvent(QCloseEvent* e) {
  WindowImplBase::closeEvent(e);
  if (!e->isAccepted() || !opener_) return;
  // Without a window manager nobody else gives the focus back.
  if (QWidget* window = opener_->window(); window && window->isVisible()) {
    window->activateWindow();
    opener_->setFocus(Qt::PopupFocusReason);
  }
}

QPoint PlaceRowMenu(QPoint at, QSize size, const QRect& work) {
  const auto axis = [](int p, int length, int start, int end, int span) {
    if (length >= span) return start;
    return std::clamp(p, start, end - length);
  };
  const int top = axis(at.y(), size.height(), work.top(), work.bottom() + 1, work.height());
  const int right = axis(at.x(), size.width(), work.left(), work.right() + 1, work.width());
  // Opens to the left of the point, but never off the screen's left edge.
  return {std::max(work.left(), right - size.width()), top};
}

}  // namespace kal::ui
