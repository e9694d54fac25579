#pragma once
// The main window's pages and duties are controllers of the window layer.

#include "ui/Controller.h"

namespace kal {

using ui::Controller;
using ui::MainHost;

// Timers of the main window, by controller.
inline constexpr int TIMER_LIST_SCROLL = 1001;     // recorded-file list
inline constexpr int TIMER_TRAY_BLINK = 1002;      // tray
inline constexpr int TIMER_RECORDING_DONE = 1003;  // recording control: the file is finished
inline constexpr int TIMER_PLAYER_REFRESH = 1004;  // cut page: the player's position
inline constexpr int TIMER_UPGRADE_WAIT = 1005;    // upgrade: the answer waits for the recording's end

}  // namespace kal
