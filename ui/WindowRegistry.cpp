#include "ui/WindowRegistry.h"

#include <map>
#include <mutex>

#include "ui/WindowImplBase.h"

namespace kal::ui {
namespace {

// Held while a message is posted, so a window cannot go away in between.
std::mutex g_lock;
std::map<WindowRole, WindowImplBase*> g_windows;

}  // namespace

bool PostTo(WindowRole role, unsigned id, std::uintptr_t wParam, std::intptr_t lParam,
            std::unique_ptr<MessagePayload> payload) {
  std::lock_guard<std::mutex> lock(g_lock);
  const auto it = g_windows.find(role);
  if (it == g_windows.end()) return false;
  WindowImplBase::PostMessage(it->second, id, wParam, lParam, std::move(payload));
  return true;
}

bool SendTo(WindowRole role, unsigned id, std::uintptr_t wParam, std::intptr_t lParam) {
  WindowImplBase* window = WindowWithRole(role);
  if (!window) return false;
  window->Send(id, wParam, lParam);
  return true;
}

WindowImplBase* WindowWithRole(WindowRole role) {
  std::lock_guard<std::mutex> lock(g_lock);
  const auto it = g_windows.find(role);
  return it == g_windows.end() ? nullptr : it->second;
}

namespace detail {

void Register(WindowRole role, WindowImplBase* window) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_windows[role] = window;
}

void Unregister(WindowImplBase* window) {
  std::lock_guard<std::mutex> lock(g_lock);
  for (auto it = g_windows.begin(); it != g_windows.end();) {
    it = it->second == window ? g_windows.erase(it) : std::next(it);
  }
}

}  // namespace detail
}  // namespace kal::ui
