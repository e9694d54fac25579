#include "platform/X11Errors.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

std::mutex g_lock;
// Serial of the last failed request per connection.
std::unordered_map<Display*, unsigned long> g_lastError;

int RecordError(Display* dpy, XErrorEvent* ev) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_lastError[dpy] = ev->serial;
  return 0;
}

}  // namespace

void InstallX11ErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    XSetErrorHandler(RecordError);
  });
}

X11ErrorTrap::X11ErrorTrap(Display* dpy) : dpy_(dpy), startSerial_(NextRequest(dpy)) {}

bool X11ErrorTrap::Ok() {
  XSync(dpy_, False);
  std::lock_guard<std::mutex> lock(g_lock);
  const auto it = g_lastError.find(dpy_);
  return it == g_lastError.end() || it->second < startSerial_;
}

}  // namespace platform
