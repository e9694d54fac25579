#pragma once
// The exact root-window position carried by the X server's pointer events
// (core and XInput 2 button presses, releases and motion). A toolkit that
// scales reports positions rounded to its own units; these are device
// pixels.

struct _XDisplay;

namespace platform {

// The major opcode of XInput on `display`, or -1 without it.
int XInputOpcode(_XDisplay* display);

enum class PointerEvent { kNone, kPress, kRelease, kMotion };

// For an event as xcb delivers it (xcb_generic_event_t): its kind and root
// position for a pointer event, kNone for any other.
PointerEvent PointerEventPosition(const void* xcbEvent, int xinputOpcode, int& x, int& y);

}  // namespace platform
