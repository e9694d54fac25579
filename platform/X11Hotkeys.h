#pragma once
// System-wide hotkeys on X11: each is a passive grab of one key with its
// modifiers on the root window, also grabbed with NumLock and CapsLock so it
// works whatever lock keys are on. A key another client holds already is a
// failed registration. Keys are given as the other system's modifier flags
// (1 Alt, 2 Control, 4 Shift, 8 Win as Super) and virtual-key codes, which
// is how the settings file keeps them. One thread of its own waits for the
// presses and calls the handler there.

#include <X11/X.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// The X keysym for a Windows virtual-key code, 0 when there is none.
KeySym KeysymForVirtualKey(int vk);
// The X modifier mask for the Windows modifier flags.
unsigned ModifiersForFlags(int flags);

class X11Hotkeys {
 public:
  using Handler = std::function<void(int id)>;

  X11Hotkeys();
  ~X11Hotkeys();
  X11Hotkeys(const X11Hotkeys&) = delete;
  X11Hotkeys& operator=(const X11Hotkeys&) = delete;

  // Opens the display (nullptr: $DISPLAY) and starts listening; `onPress`
  // runs on the listening thread. False when there is no display.
  bool Start(Handler onPress, const char* displayName = nullptr);
  // Grabs flags/vk as hotkey `id`; false when the key is unknown or another
  // client holds it, and then a key `id` held before still works. Only once
  // the new key is held is the old one let go. Any thread after Start.
  bool Register(int id, int flags, int vk);
  void Unregister(int id);
  void Stop();

 private:
  struct Key {
    unsigned keycode;
    unsigned modifiers;
  };
  void Loop();
  void Ungrab(const Key& key);

  void* dpy_ = nullptr;  // Display*, used under lock_ (the loop holds it only to read events)
  unsigned long root_ = 0;
  std::mutex lock_;
  std::map<int, Key> keys_;
  Handler onPress_;
  std::atomic<bool> stop_{false};
  int wakeFd_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace platform
