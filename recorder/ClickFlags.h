#pragma once
// Process-wide click flags: set by the global click listener on a left or
// right button press, read and cleared by the screen reader when it draws
// click ripples.

#include <atomic>

namespace kal {
extern std::atomic<bool> leftClickSeen;
extern std::atomic<bool> rightClickSeen;
}  // namespace kal
