#pragma once
// The upgrade check: once at start (unless "upgrade-check" is 0) and
// whenever the tray menu asks. Two checks never run at once. The answer is
// shown only while no recording runs (a prompt would be in the video); it
// waits for the recording's end. The end of the program the download asks
// for finishes a running recording first.

#include <functional>
#include <memory>

#include "mainwnd/Controller.h"
#include "online/UpgradeCheck.h"

namespace kal {

class UpgradeControl : public Controller {
 public:
  // `recording`: whether a recording runs (or is paused); `finish`: ends it
  // and waits for its file.
  UpgradeControl(MainHost& host, std::function<bool()> recording, std::function<void()> finish);
  ui::ControlList Controls() const override { return {}; }
  bool Handle(ui::Message& msg) override;
  bool OnTimer(int id) override;

  // After the main window is shown.
  void CheckAtStart();

 private:
  void Show();
  MainHost& host_;
  std::function<bool()> recording_;
  std::function<void()> finish_;
  std::unique_ptr<online::UpgradeAnswer> pending_;
  bool told_ = false;       // the user asked: say what came of it, even nothing
  bool prompting_ = false;  // a prompt or the download is open
  online::UpgradeCheck check_;
};

}  // namespace kal
