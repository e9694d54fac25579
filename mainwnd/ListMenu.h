#pragma once
// The menu of a file row: "PopMenu" for a recorded file (open folder,
// rename, remove, delete), "ConvertPopMenu" and "CompressPopMenu" for the
// tool pages' rows (open folder, remove). The chosen item is posted to the
// main window as WMU_LIST_* with the list and the row's tag.

#include "ui/PopupMenu.h"

namespace kal {

class ListMenu : public ui::PopupMenu {
  Q_OBJECT
 public:
  static constexpr const char* kOpenFolder = "file-open-dir";
  static constexpr const char* kRename = "file-rename";
  static constexpr const char* kRemove = "file-remove";
  static constexpr const char* kDelete = "file-delete";
  static constexpr const char* kRecordedItems[] = {kOpenFolder, kRename, kRemove, kDelete};
  static constexpr const char* kToolItems[] = {kOpenFolder, kRemove};
  static constexpr ui::ControlList kRecordedLists[] = {kRecordedItems};
  static constexpr ui::ControlList kToolLists[] = {kToolItems};
  static constexpr ui::SkinSpec kRecordedSkin{"PopMenu", "PopMenu.xml", kRecordedLists};
  static constexpr ui::SkinSpec kConvertSkin{"ConvertPopMenu", "ConvertPopMenu.xml", kToolLists};
  static constexpr ui::SkinSpec kCompressSkin{"CompressPopMenu", "CompressPopMenu.xml", kToolLists};

  ListMenu(QWidget* owner, ui::ListKind kind, int tag);
  const ui::SkinSpec* Skin() const override;
  // Opens the menu by `at` (global), to its left; `opener` gets the focus
  // back when it closes.
  void OpenAt(QPoint at, QWidget* opener);

 protected:
  QString ClassName() const override { return Skin()->className; }
  void OnItem(const QString& name) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  ui::ListKind kind_;
  int tag_;
};

}  // namespace kal
