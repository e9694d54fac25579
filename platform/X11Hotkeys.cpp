#include "platform/X11Hotkeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include "platform/X11Errors.h"

namespace platform {
namespace {

// The lock modifiers a hotkey must work under: none, NumLock (Mod2),
// CapsLock, both.
constexpr unsigned kLockCombinations[] = {0, Mod2Mask, LockMask, Mod2Mask | LockMask};

struct VirtualKey {
  int vk;
  KeySym sym;
};

// Every key the settings dialog offers and the usual others.
constexpr VirtualKey kVirtualKeys[] = {
    {0x08, XK_BackSpace}, {0x09, XK_Tab},     {0x0D, XK_Return},    {0x13, XK_Pause},
    {0x14, XK_Caps_Lock}, {0x1B, XK_Escape},  {0x20, XK_space},     {0x21, XK_Prior},
    {0x22, XK_Next},      {0x23, XK_End},     {0x24, XK_Home},      {0x25, XK_Left},
    {0x26, XK_Up},        {0x27, XK_Right},   {0x28, XK_Down},      {0x2C, XK_Print},
    {0x2D, XK_Insert},    {0x2E, XK_Delete},  {0x60, XK_KP_0},      {0x61, XK_KP_1},
    {0x62, XK_KP_2},      {0x63, XK_KP_3},    {0x64, XK_KP_4},      {0x65, XK_KP_5},
    {0x66, XK_KP_6},      {0x67, XK_KP_7},    {0x68, XK_KP_8},      {0x69, XK_KP_9},
    {0x6A, XK_KP_Multiply}, {0x6B, XK_KP_Add}, {0x6D, XK_KP_Subtract}, {0x6E, XK_KP_Decimal},
    {0x6F, XK_KP_Divide}, {0x90, XK_Num_Lock}, {0x91, XK_Scroll_Lock}, {0xBA, XK_semicolon},
    {0xBB, XK_equal},     {0xBC, XK_comma},   {0xBD, XK_minus},     {0xBE, XK_period},
    {0xBF, XK_slash},     {0xC0, XK_grave},   {0xDB, XK_bracketleft}, {0xDC, XK_backslash},
    {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
};

}  // namespace

KeySym KeysymForVirtualKey(int vk) {
  if (vk >= 0x70 && vk <= 0x87) return XK_F1 + static_cast<KeySym>(vk - 0x70);  // F1..F24
  if (vk >= 'A' && vk <= 'Z') return XK_a + static_cast<KeySym>(vk - 'A');
  if (vk >= '0' && vk <= '9') return XK_0 + static_cast<KeySym>(vk - '0');
  for (const VirtualKey& k : kVirtualKeys)
    if (k.vk == vk) return k.sym;
  return 0;
}

unsigned ModifiersForFlags(int flags) {
  unsigned mods = 0;
  if (flags & 1) mods |= Mod1Mask;     // Alt
  if (flags & 2) mods |= ControlMask;  // Control
  if (flags & 4) mods |= ShiftMask;    // Shift
  if (flags & 8) mods |= Mod4Mask;     // Win: Super
  return mods;
}

X11Hotkeys::X11Hotkeys() = default;

X11Hotkeys::~X11Hotkeys() { Stop(); }

bool X11Hotkeys::Start(Handler onPress, const char* displayName) {
  if (thread_.joinable()) return true;
  InstallX11ErrorHandler();
  Display* dpy = XOpenDisplay(displayName);
  if (!dpy) return false;
  SurviveConnectionLoss(dpy);
  if (::pipe(wakeFd_) != 0) {
    ForgetConnection(dpy);
    XCloseDisplay(dpy);
    return false;
  }
  dpy_ = dpy;
  root_ = DefaultRootWindow(dpy);
  onPress_ = std::move(onPress);
  stop_ = false;
  thread_ = std::thread(&X11Hotkeys::Loop, this);
  return true;
}

bool X11Hotkeys::Register(int id, int flags, int vk) {
  std::lock_guard<std::mutex> lock(lock_);
  auto* dpy = static_cast<Display*>(dpy_);
  if (!dpy) return false;
  const KeySym sym = KeysymForVirtualKey(vk);
  const KeyCode code = sym ? XKeysymToKeycode(dpy, sym) : 0;
  if (!code) return false;
  const Key key{code, ModifiersForFlags(flags)};
  const auto same = [](const Key& a, const Key& b) { return a.keycode == b.keycode && a.modifiers == b.modifiers; };
  const auto old = keys_.find(id);
  if (old != keys_.end() && same(old->second, key)) return true;
  bool held = false;  // by another of our ids
  for (const auto& [other, k] : keys_) held = held || (other != id && same(k, key));
  if (!held) {
    // The new key first: a grab that another client holds fails with
    // BadAccess, and the old key must keep working then.
    X11ErrorTrap trap(dpy);
    for (const unsigned lock : kLockCombinations)
      XGrabKey(dpy, key.keycode, key.modifiers | lock, root_, False, GrabModeAsync, GrabModeAsync);
    if (!trap.Ok()) {
      Ungrab(key);
      XSync(dpy, False);
      return false;
    }
  }
  if (old != keys_.end()) {
    const Key before = old->second;
    keys_.erase(old);
    bool shared = false;
    for (const auto& [other, k] : keys_) shared = shared || same(k, before);
    if (!shared) {
      Ungrab(before);
      XSync(dpy, False);
    }
  }
  keys_[id] = key;
  return true;
}

void X11Hotkeys::Ungrab(const Key& key) {
  auto* dpy = static_cast<Display*>(dpy_);
  for (const unsigned lock : kLockCombinations) XUngrabKey(dpy, key.keycode, key.modifiers | lock, root_);
}

void X11Hotkeys::Unregister(int id) {
  std::lock_guard<std::mutex> lock(lock_);
  const auto it = keys_.find(id);
  if (it == keys_.end() || !dpy_) return;
  const Key key = it->second;
  keys_.erase(it);
  for (const auto& [other, k] : keys_)
    if (k.keycode == key.keycode && k.modifiers == key.modifiers) return;  // still another id's
  Ungrab(key);
  XSync(static_cast<Display*>(dpy_), False);
}

void X11Hotkeys::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_[1], &byte, 1);
  thread_.join();
  auto* dpy = static_cast<Display*>(dpy_);
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (!ConnectionLost(dpy))
      for (const auto& [id, key] : keys_) Ungrab(key);
    keys_.clear();
    dpy_ = nullptr;
  }
  ForgetConnection(dpy);
  XCloseDisplay(dpy);
  ::close(wakeFd_[0]);
  ::close(wakeFd_[1]);
  wakeFd_[0] = wakeFd_[1] = -1;
}

void X11Hotkeys::Loop() {
  auto* dpy = static_cast<Display*>(dpy_);
  pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
  while (!stop_ && !ConnectionLost(dpy)) {
    std::vector<int> pressed;
    {
      std::lock_guard<std::mutex> lock(lock_);
      while (XPending(dpy) > 0) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type != KeyPress) continue;
        // The lock keys do not matter; the other modifiers must match.
        const unsigned state = ev.xkey.state & ~(Mod2Mask | LockMask);
        for (const auto& [id, key] : keys_)
          if (key.keycode == ev.xkey.keycode && key.modifiers == state) pressed.push_back(id);
      }
    }
    for (const int id : pressed) onPress_(id);
    ::poll(fds, 2, 400);
  }
}

}  // namespace platform
