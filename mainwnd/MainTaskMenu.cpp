#include "mainwnd/MainTaskMenu.h"

#include <QGuiApplication>
#include <QScreen>

namespace kal {
namespace {

struct Item {
  const char* control;
  unsigned message;
};
constexpr Item kItems[] = {{CMainTaskMenu::kControls[0], WMU_SHOW_MAIN},
                           {CMainTaskMenu::kControls[1], WMU_OPEN_SETTINGS},
                           {CMainTaskMenu::kControls[2], WMU_CHECK_UPGRADE},
                           {CMainTaskMenu::kControls[3], WMU_OPEN_HELP},
                           {CMainTaskMenu::kControls[4], WMU_OPEN_FEEDBACK},
                           {CMainTaskMenu::kControls[5], WMU_QUIT}};
// The menu's corner sits this far right of and above the pointer.
constexpr int kNudge = 6;

}  // namespace

CMainTaskMenu::CMainTaskMenu() {
  // Not a popup: one opened from the tray icon's own press would not get
  // the pointer. It closes when it loses the focus instead.
  MakeOverlay({.onTop = true, .takesFocus = true});
  setAttribute(Qt::WA_DeleteOnClose);
}

bool CMainTaskMenu::event(QEvent* e) {
  if (e->type() == QEvent::WindowDeactivate && isVisible()) close();
  return ui::WindowImplBase::event(e);
}

QPoint CMainTaskMenu::Place(QPoint at, QSize size, const QRect& work) {
  const auto axis = [](int p, int length, int end, int span) {
    if (p + length <= end) return p;
    return length >= span ? 0 : p - length;
  };
  const int top = axis(at.y(), size.height(), work.bottom() + 1, work.height());
  const int left = axis(at.x(), size.width(), work.right() + 1, work.width());
  return {left + kNudge, top - kNudge};
}

void CMainTaskMenu::OpenAt(QPoint at) {
  adjustSize();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  move(Place(at, size(), work));
  show();
  raise();
  activateWindow();
}

void CMainTaskMenu::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click") {
    for (const Item& item : kItems) {
      if (msg.senderName == item.control) {
        ui::PostTo(ui::WindowRole::kMain, item.message);
        close();
        break;
      }
    }
  }
  NotifyBase(msg);
}

}  // namespace kal
