#include "mainwnd/MainTaskMenu.h"

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

CMainTaskMenu::CMainTaskMenu() = default;

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
  OpenWithCorner(Place(at, size(), WorkArea()));
}

void CMainTaskMenu::OnItem(const QString& name) {
  for (const Item& item : kItems) {
    if (name == item.control) ui::PostTo(ui::WindowRole::kMain, item.message);
  }
}

}  // namespace kal
