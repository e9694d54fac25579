#pragma once
// Global mouse-click listener: XInput2 raw button presses on the root
// window, seen whichever window has the pointer. Runs its own thread and X
// connection; the callback runs on that thread.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform {

class X11ClickListener {
 public:
  enum class Button { kLeft, kRight };
  using Callback = std::function<void(Button)>;

  X11ClickListener();
  ~X11ClickListener();  // stops and joins the thread
  X11ClickListener(const X11ClickListener&) = delete;
  X11ClickListener& operator=(const X11ClickListener&) = delete;

  // Starts listening; false, with the reason in Error(), when there is no
  // display or no XInput2. Call from one thread; a second Start while
  // running is a no-op returning true.
  bool Start(Callback onPress, const char* displayName = nullptr);
  const std::string& Error() const { return error_; }
  void Stop();
  bool Running() const { return thread_.joinable(); }

 private:
  void Loop();
  Callback onPress_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  void* dpy_ = nullptr;  // Display*, owned by the listener
  int xiOpcode_ = 0;
  int wakeFd_[2] = {-1, -1};
  std::string error_;
};

}  // namespace platform
