#include "mainwnd/TrayAndHotkeys.h"

namespace kal {

constexpr int kBlinkMs = 800;

void TrayAndHotkeys::RecordingRuns() { host_.SetTimer(TIMER_TRAY_BLINK, kBlinkMs); }

void TrayAndHotkeys::RecordingHolds() { host_.KillTimer(TIMER_TRAY_BLINK); }

bool TrayAndHotkeys::OnTimer(int id) {
  if (id != TIMER_TRAY_BLINK) return false;
  blinkOn_ = !blinkOn_;
  host_.Window()->setWindowIconText(blinkOn_ ? "录制中..." : "");
  return true;
}

}  // namespace kal
