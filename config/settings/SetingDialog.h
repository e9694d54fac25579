#pragma once
// The settings window, "设置": five pages on tabs ("基本设置", "鼠标效果",
// "水印", "快捷键", "其他设置"). Most controls write their key the moment
// they change; the texts and lists are written when the window closes,
// which it does not while a page holds what a recording could not use
// (the page is shown and the user told why). Everything it shows is what
// the next recording will use. While a recording runs it says that what
// changes applies to the next one. It reaches the main window only
// through SettingsHost.

#include <memory>
#include <vector>

#include "config/settings/SettingsHost.h"
#include "config/settings/SettingsPage.h"
#include "ui/Controller.h"

namespace kal {

class SetingDialog : public ui::ControllerWindow {
  Q_OBJECT
 public:
  static constexpr const char* kTabs = "setings";
  static constexpr const char* kClose = "closebtn";
  static constexpr const char* kNotice = "seting-notice";

  SetingDialog(QWidget* owner, SettingsHost& host);
  // A window ended without closing (the program quits) still writes what
  // can be written.
  ~SetingDialog() override;
  const ui::SkinSpec* Skin() const override { return &skin_; }

  void ShowMain() override;

 protected:
  QString ClassName() const override { return "SetingDialog"; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void OnTimer(int id) override;
  void OnKey(QKeyEvent* e) override;
  // Every way of closing ends here.
  void done(int result) override;

 private:
  void ShowRecording();
  SettingsHost& host_;
  std::vector<std::unique_ptr<SettingsPage>> pages_;
  std::vector<ui::ControlList> controls_;
  ui::SkinSpec skin_{};
  bool shown_ = false;  // initialised: its pages hold what the user sees
  bool committed_ = false;
  bool recording_ = false;
};

}  // namespace kal
