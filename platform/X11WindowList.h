#pragma once
// The desktop's windows as the region selection needs them: every mapped
// top-level window with its rectangle on the root window and its mapped
// children, recursively, topmost first.

#include <string>
#include <vector>

namespace platform {

struct WindowEntry {
  unsigned long window = 0;
  int x = 0;  // root-window coordinates, device pixels
  int y = 0;
  int width = 0;
  int height = 0;
  std::vector<WindowEntry> children;  // topmost first
  bool Contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
};

// Takes the snapshot from `displayName` (nullptr: $DISPLAY). Windows that
// are unmapped or have no area are left out, and so are `skip` and its
// children. Empty when no display can be opened.
std::vector<WindowEntry> SnapshotWindows(const char* displayName = nullptr,
                                         unsigned long skip = 0);

// The deepest entry containing the point: the topmost top-level window
// there, then, within it, its topmost child there, and so on. nullptr when
// no window contains it.
const WindowEntry* WindowAt(const std::vector<WindowEntry>& windows, int x, int y);

}  // namespace platform
