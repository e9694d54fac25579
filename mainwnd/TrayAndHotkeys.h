#pragma once
// The tray icon and the global hotkeys. Until they come, the recording's
// look is the window's icon text: "录制中..." blinking every 800 ms while
// recording, still when paused or stopped.

#include "mainwnd/Controller.h"

namespace kal {

class TrayAndHotkeys : public Controller {
 public:
  explicit TrayAndHotkeys(MainHost& host) : host_(host) {}
  ui::ControlList Controls() const override { return {}; }
  bool OnTimer(int id) override;

  void RecordingRuns();   // start and resume
  void RecordingHolds();  // pause and stop

 private:
  MainHost& host_;
  bool blinkOn_ = false;
};

}  // namespace kal
