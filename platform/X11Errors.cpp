#include "platform/X11Errors.h"

#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace platform {
namespace {

std::mutex g_lock;
// Serial of the last failed request per connection.
std::unordered_map<Display*, unsigned long> g_lastError;
// Connections that survive the loss of their server, and those that lost it.
std::unordered_set<Display*> g_survivors;
std::unordered_set<Display*> g_lost;
void (*g_fatalLoss)() = nullptr;

int OnIoError(Display* dpy) {
  bool ours = false;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    ours = g_survivors.count(dpy) != 0;
  }
  // Ours: the exit handler marks it lost and the process goes on. Any other
  // connection ends the process once this returns.
  if (!ours && g_fatalLoss) g_fatalLoss();
  return 0;
}

int RecordError(Display* dpy, XErrorEvent* ev) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_lastError[dpy] = ev->serial;
  return 0;
}

void MarkLost(Display* dpy, void*) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_lost.insert(dpy);
}

}  // namespace

void SurviveConnectionLoss(Display* dpy) {
  InstallX11ErrorHandler();
  {
    std::lock_guard<std::mutex> lock(g_lock);
    g_survivors.insert(dpy);
  }
  XSetIOErrorExitHandler(dpy, MarkLost, nullptr);
}

void OnFatalConnectionLoss(void (*handler)()) {
  InstallX11ErrorHandler();
  g_fatalLoss = handler;
}

bool ConnectionLost(Display* dpy) {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_lost.count(dpy) != 0;
}

void ForgetConnection(Display* dpy) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_lost.erase(dpy);
  g_survivors.erase(dpy);
  g_lastError.erase(dpy);
}

void InstallX11ErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    XSetErrorHandler(RecordError);
    XSetIOErrorHandler(OnIoError);
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
