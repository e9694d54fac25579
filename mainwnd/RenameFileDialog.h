#pragma once
// Asks for a recorded file's new name. "renameFileConfirm" (or Enter)
// hands the trimmed text to the caller's rename, and the dialog stays open
// with the reason in "renameError" when that refuses it; "renameFileCancel"
// (or Escape) changes nothing.

#include <functional>
#include <string>

#include "ui/WindowImplBase.h"

namespace kal {

class RenameFileDialog : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr const char* kInput = "renameFileInput";
  static constexpr const char* kConfirm = "renameFileConfirm";
  static constexpr const char* kCancel = "renameFileCancel";
  static constexpr const char* kError = "renameError";
  static constexpr const char* kControls[] = {kInput, kConfirm, kCancel, kError};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"RenameFileDialog", "RenameFile.xml", kLists};

  // `rename` gets the typed name; false, with the reason, keeps the dialog open.
  using Rename = std::function<bool(const std::string& typed, std::string& error)>;
  RenameFileDialog(QWidget* owner, const std::string& current, Rename rename);
  const ui::SkinSpec* Skin() const override { return &kSkin; }
  // 1 when the file was renamed, else 0.
  int ShowModal();

 protected:
  QString ClassName() const override { return kSkin.className; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void OnKey(QKeyEvent* e) override;

 private:
  void Confirm();
  std::string current_;
  Rename rename_;
};

}  // namespace kal
