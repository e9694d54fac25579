#include "mainwnd/ListMenu.h"

#include <QPainterPath>
#include <QRegion>
#include <QResizeEvent>

namespace kal {
namespace {

// The menu's face sits this far inside its window; the rest is cut away.
constexpr int kShadow = 8;
constexpr int kCorner = 3;

struct Item {
  const char* control;
  unsigned message;
};
constexpr Item kItems[] = {{ListMenu::kOpenFolder, WMU_LIST_OPEN_FOLDER},
                           {ListMenu::kRename, WMU_LIST_RENAME},
                           {ListMenu::kRemove, WMU_LIST_REMOVE},
                           {ListMenu::kDelete, WMU_LIST_DELETE}};

}  // namespace

ListMenu::ListMenu(QWidget* owner, ui::ListKind kind, int tag)
    : ui::PopupMenu(owner), kind_(kind), tag_(tag) {}

const ui::SkinSpec* ListMenu::Skin() const {
  switch (kind_) {
    case ui::ListKind::kConvert:
      return &kConvertSkin;
    case ui::ListKind::kCompress:
      return &kCompressSkin;
    default:
      return &kRecordedSkin;
  }
}

void ListMenu::OpenAt(QPoint at, QWidget* opener) {
  adjustSize();
  OpenWithCorner(ui::PlaceRowMenu(at, size(), WorkArea()), opener);
}

void ListMenu::OnItem(const QString& name) {
  for (const Item& item : kItems) {
    if (name == item.control)
      ui::PostTo(ui::WindowRole::kMain, item.message, 0, 0,
                 std::make_unique<ui::ListMenuRequest>(kind_, tag_));
  }
}

void ListMenu::resizeEvent(QResizeEvent* e) {
  ui::PopupMenu::resizeEvent(e);
  if (isMinimized()) return;
  QPainterPath face;
  face.addRoundedRect(QRectF(rect().adjusted(kShadow, kShadow, -kShadow, -kShadow)), kCorner, kCorner);
  setMask(QRegion(face.toFillPolygon().toPolygon()));
}

}  // namespace kal
