#include "platform/X11PointerEvents.h"

#include <X11/Xlib.h>
#include <X11/extensions/XI2.h>
#include <X11/extensions/XI2proto.h>
#include <xcb/xproto.h>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {

int XInputOpcode(_XDisplay* display) {
  int opcode = 0, event = 0, error = 0;
  if (!display || !XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return -1;
  return opcode;
}

PointerEvent PointerEventPosition(const void* xcbEvent, int xinputOpcode, int& x, int& y) {
  const auto* e = static_cast<const xcb_generic_event_t*>(xcbEvent);
  switch (e->response_type & 0x7F) {
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY: {
      // The three share their layout.
      const auto* b = static_cast<const xcb_button_press_event_t*>(xcbEvent);
      x = b->root_x;
      y = b->root_y;
      const int type = e->response_type & 0x7F;
      return type == XCB_BUTTON_PRESS     ? PointerEvent::kPress
             : type == XCB_BUTTON_RELEASE ? PointerEvent::kRelease
                                          : PointerEvent::kMotion;
    }
    case XCB_GE_GENERIC: {
      const auto* g = static_cast<const xXIDeviceEvent*>(xcbEvent);
      if (xinputOpcode < 0 || g->extension != xinputOpcode) return PointerEvent::kNone;
      if (g->evtype != XI_ButtonPress && g->evtype != XI_ButtonRelease && g->evtype != XI_Motion)
        return PointerEvent::kNone;
      // xcb keeps the 32-bit sequence number after the first 32 bytes, so
      // everything the protocol puts from there on (root_x, root_y: 16.16
      // fixed point) sits 4 bytes further.
      const auto* bytes = static_cast<const unsigned char*>(xcbEvent);
      constexpr std::size_t kShift = sizeof(std::uint32_t);
      std::int32_t rx = 0, ry = 0;
      std::memcpy(&rx, bytes + offsetof(xXIDeviceEvent, root_x) + kShift, sizeof rx);
      std::memcpy(&ry, bytes + offsetof(xXIDeviceEvent, root_y) + kShift, sizeof ry);
      x = rx >> 16;
      y = ry >> 16;
      return g->evtype == XI_ButtonPress     ? PointerEvent::kPress
             : g->evtype == XI_ButtonRelease ? PointerEvent::kRelease
                                             : PointerEvent::kMotion;
    }
    default:
      return PointerEvent::kNone;
  }
}

}  // namespace platform
