#include "platform/X11WindowList.h"

#include <X11/Xlib.h>

#include <memory>

#include "platform/X11Errors.h"

namespace platform {
namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};

std::vector<WindowEntry> Children(Display* d, Window parent, Window skip, int depth) {
  std::vector<WindowEntry> out;
  Window root = 0, up = 0, *kids = nullptr;
  unsigned count = 0;
  if (depth > 32 || !XQueryTree(d, parent, &root, &up, &kids, &count)) return out;
  std::unique_ptr<Window, int (*)(void*)> owned(kids, XFree);
  // XQueryTree lists bottom-most first.
  for (unsigned i = count; i-- > 0;) {
    const Window w = kids[i];
    XWindowAttributes a{};
    if (w == skip || !XGetWindowAttributes(d, w, &a)) continue;
    if (a.map_state != IsViewable || a.width <= 0 || a.height <= 0 || a.c_class == InputOnly)
      continue;
    WindowEntry e;
    e.window = w;
    Window child = 0;
    if (!XTranslateCoordinates(d, w, root, 0, 0, &e.x, &e.y, &child)) continue;
    e.width = a.width;
    e.height = a.height;
    e.children = Children(d, w, skip, depth + 1);
    out.push_back(std::move(e));
  }
  return out;
}

}  // namespace

std::vector<WindowEntry> SnapshotWindows(const char* displayName, unsigned long skip) {
  std::unique_ptr<Display, DisplayCloser> d(XOpenDisplay(displayName));
  if (!d) return {};
  // A window that disappears while it is walked is just left out: its
  // requests fail and the shared handler only records that.
  InstallX11ErrorHandler();
  XGrabServer(d.get());  // one consistent picture of the tree
  auto windows = Children(d.get(), DefaultRootWindow(d.get()), skip, 0);
  XUngrabServer(d.get());
  XSync(d.get(), False);
  return windows;
}

const WindowEntry* WindowAt(const std::vector<WindowEntry>& windows, int x, int y) {
  const WindowEntry* found = nullptr;
  const std::vector<WindowEntry>* level = &windows;
  for (;;) {
    const WindowEntry* next = nullptr;
    for (const WindowEntry& e : *level)
      if (e.Contains(x, y)) {
        next = &e;
        break;
      }
    if (!next) return found;
    found = next;
    level = &next->children;
  }
}

}  // namespace platform
