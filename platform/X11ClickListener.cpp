#include "platform/X11ClickListener.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <unistd.h>

#include "platform/X11Errors.h"

namespace platform {

X11ClickListener::X11ClickListener() = default;

X11ClickListener::~X11ClickListener() { Stop(); }

bool X11ClickListener::Start(Callback onPress, const char* displayName) {
  if (thread_.joinable()) return true;
  InstallX11ErrorHandler();
  Display* dpy = XOpenDisplay(displayName);
  if (!dpy) {
    error_ = "no X display";
    return false;
  }
  SurviveConnectionLoss(dpy);
  // Every way out before the thread runs closes the connection it opened.
  const auto fail = [&](const char* why) {
    error_ = why;
    ForgetConnection(dpy);
    XCloseDisplay(dpy);
    return false;
  };
  int event = 0;
  int error = 0;
  int major = 2;
  int minor = 0;
  if (!XQueryExtension(dpy, "XInputExtension", &xiOpcode_, &event, &error) ||
      XIQueryVersion(dpy, &major, &minor) != Success)
    return fail("the X server has no XInput2");
  unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask, XI_RawButtonPress);
  XIEventMask em{XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
  X11ErrorTrap trap(dpy);
  XISelectEvents(dpy, DefaultRootWindow(dpy), &em, 1);
  if (!trap.Ok()) return fail("the X server refuses to report clicks");
  if (::pipe(wakeFd_) != 0) return fail("no pipe for the listener");
  dpy_ = dpy;
  onPress_ = std::move(onPress);
  stop_ = false;
  error_.clear();
  thread_ = std::thread(&X11ClickListener::Loop, this);
  return true;
}

void X11ClickListener::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_[1], &byte, 1);
  thread_.join();
  ForgetConnection(static_cast<Display*>(dpy_));
  XCloseDisplay(static_cast<Display*>(dpy_));
  dpy_ = nullptr;
  ::close(wakeFd_[0]);
  ::close(wakeFd_[1]);
  wakeFd_[0] = wakeFd_[1] = -1;
}

void X11ClickListener::Loop() {
  Display* dpy = static_cast<Display*>(dpy_);
  pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
  while (!stop_ && !ConnectionLost(dpy)) {
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      XGenericEventCookie* cookie = &ev.xcookie;
      if (cookie->type != GenericEvent || cookie->extension != xiOpcode_ ||
          !XGetEventData(dpy, cookie))
        continue;
      if (cookie->evtype == XI_RawButtonPress) {
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        if (raw->detail == 1) onPress_(Button::kLeft);
        if (raw->detail == 3) onPress_(Button::kRight);
      }
      XFreeEventData(dpy, cookie);
    }
    ::poll(fds, 2, 400);
  }
}

}  // namespace platform
