#pragma once
// "其他设置": the folder recordings go to (changed only to a folder that
// can be written), what the main window's close button does, the floating
// timer box, and the audio compression choice.

#include "config/settings/SettingsPage.h"

namespace kal {

class OtherPage : public SettingsPage {
 public:
  static constexpr const char* kFolder = "output-dir-edit";
  static constexpr const char* kChoose = "output-choose-btn";
  static constexpr const char* kOpen = "output-open-btn";
  static constexpr const char* kSuspend = "suspend-check";

  OtherPage(ui::MainHost& dialog, SettingsHost& host);
  const char* Tab() const override { return "other-seting"; }
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;

 private:
  void ChooseFolder();
};

}  // namespace kal
