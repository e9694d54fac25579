#pragma once
// The tray icon's menu: six items, each posting its message to the main
// window. It opens at the pointer, up and to the left where it would
// otherwise leave the work area, and closes when an item is chosen or it
// loses the focus.

#include <QPoint>
#include <QRect>
#include <QSize>

#include "ui/PopupMenu.h"

namespace kal {

class CMainTaskMenu : public ui::PopupMenu {
  Q_OBJECT
 public:
  static constexpr const char* kControls[] = {
      "main_menu_item_home", "main_menu_item_seting", "main_menu_item_upgrade",
      "main_menu_item_help", "main_menu_item_feedback", "main_menu_item_quit"};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"CDuiMenu ", "MainTaskMenu.xml", kLists};

  CMainTaskMenu();
  const ui::SkinSpec* Skin() const override { return &kSkin; }

  // Top-left corner of a menu of `size` opened at `at` in `work`.
  static QPoint Place(QPoint at, QSize size, const QRect& work);
  // Opens the menu at `at` (global coordinates).
  void OpenAt(QPoint at);

 protected:
  QString ClassName() const override { return "CMainTaskMenu"; }
  void OnItem(const QString& name) override;
};

}  // namespace kal
