#pragma once
// One page or duty of a window. The window routes its notifications,
// messages and timers to its controllers in turn until one takes them; a
// controller owns its controls (it names them for the skin check), its
// notification cases, its messages and its timers.

#include <QWidget>

#include "ui/WindowImplBase.h"

namespace kal::ui {

// What a controller needs of the window it lives in.
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
  // The controls this controller looks up in its window's skin.
  virtual ControlList Controls() const = 0;
  // After the skin is loaded.
  virtual void Init() {}
  // Each returns true when it took the notification, message or timer.
  virtual bool Notify(const TNotifyUI& msg) { return false; }
  virtual bool Handle(Message& msg) { return false; }
  virtual bool OnTimer(int id) { return false; }
};

// A window made of controllers: what they ask of their host, it does itself.
class ControllerWindow : public WindowImplBase, public MainHost {
 public:
  using WindowImplBase::WindowImplBase;
  QWidget* Window() override { return this; }
  void SetTimer(int id, int milliseconds, bool singleShot = false) override {
    WindowImplBase::SetTimer(id, milliseconds, singleShot);
  }
  void KillTimer(int id) override { WindowImplBase::KillTimer(id); }
};

}  // namespace kal::ui
