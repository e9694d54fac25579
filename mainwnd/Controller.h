#pragma once
// One page or duty of the main window. The window routes its notifications,
// messages and timers to its controllers in turn until one takes them; a
// controller owns its controls (it names them for the skin check), its
// notification cases, its messages and its timers.

#include <QWidget>

#include "ui/WindowImplBase.h"

namespace kal {

// What a controller needs of the main window.
class MainHost {
 public:
  virtual ~MainHost() = default;
  virtual QWidget* Window() = 0;
  template <typename T = QWidget>
  T* Control(const char* name) {
    return Window()->findChild<T*>(name);
  }
  virtual void SetTimer(int id, int milliseconds, bool singleShot = false) = 0;
  virtual void KillTimer(int id) = 0;
  // Shows the window normally and gives it the focus.
  virtual void ShowMain() = 0;
};

class Controller {
 public:
  virtual ~Controller() = default;
  // The controls this controller looks up in the main window's skin.
  virtual ui::ControlList Controls() const = 0;
  // After the skin is loaded.
  virtual void Init() {}
  // Each returns true when it took the notification, message or timer.
  virtual bool Notify(const ui::TNotifyUI& msg) { return false; }
  virtual bool Handle(ui::Message& msg) { return false; }
  virtual bool OnTimer(int id) { return false; }
};

// Timers of the main window, by controller.
inline constexpr int TIMER_LIST_SCROLL = 1001;     // recorded-file list
inline constexpr int TIMER_TRAY_BLINK = 1002;      // tray
inline constexpr int TIMER_RECORDING_DONE = 1003;  // recording control: the file is finished
inline constexpr int TIMER_PLAYER_REFRESH = 1004;  // cut page: the player's position

}  // namespace kal
