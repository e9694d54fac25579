#include "platform/X11Screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>

#include "platform/X11Errors.h"
#include "platform/X11ShmImage.h"

namespace platform {

ScreenSize QueryScreenSize(const char* displayName) {
  X11Screen screen;
  if (!screen.Open(displayName)) return {};
  return screen.Size();
}

std::vector<Monitor> QueryMonitors(const char* displayName) {
  InstallX11ErrorHandler();
  Display* dpy = XOpenDisplay(displayName);
  if (!dpy) return {};
  std::vector<Monitor> out;
  const int scr = DefaultScreen(dpy);
  int event = 0;
  int error = 0;
  int major = 0;
  int minor = 0;
  if (XRRQueryExtension(dpy, &event, &error) && XRRQueryVersion(dpy, &major, &minor) &&
      (major > 1 || (major == 1 && minor >= 5))) {
    int count = 0;
    XRRMonitorInfo* list = XRRGetMonitors(dpy, RootWindow(dpy, scr), True, &count);
    for (int i = 0; i < count; ++i) {
      Monitor m;
      if (char* name = XGetAtomName(dpy, list[i].name)) {
        m.name = name;
        XFree(name);
      }
      m.x = list[i].x;
      m.y = list[i].y;
      m.width = list[i].width;
      m.height = list[i].height;
      m.primary = list[i].primary != 0;
      out.push_back(m);
    }
    if (list) XRRFreeMonitors(list);
  }
  if (out.empty()) out.push_back({"screen", 0, 0, DisplayWidth(dpy, scr), DisplayHeight(dpy, scr), true});
  XCloseDisplay(dpy);
  return out;
}

Monitor PrimaryMonitor(const std::vector<Monitor>& monitors, ScreenSize screen) {
  for (const Monitor& m : monitors)
    if (m.primary) return m;
  for (const Monitor& m : monitors)
    if (m.x == 0 && m.y == 0) return m;
  if (!monitors.empty()) return monitors.front();
  return {"screen", 0, 0, screen.width, screen.height, true};
}

struct X11Screen::Impl {
  Display* dpy = nullptr;
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  bool shmAvailable = false;
  bool fixesAvailable = false;
  XImage* image = nullptr;  // the grab buffer: shared.image or a plain one
  ShmImage shared;
  int width = 0;
  int height = 0;
  Damage damage = 0;
  bool changed = true;   // a change seen and not yet asked for

  void FreeImage() {
    if (shared.image) {
      FreeShmImage(dpy, shared);
    } else if (image) {
      XDestroyImage(image);
    }
    image = nullptr;
  }
};

X11Screen::X11Screen() : impl_(std::make_unique<Impl>()) {}

X11Screen::~X11Screen() {
  if (impl_->dpy) {
    impl_->FreeImage();
    if (impl_->damage) XDamageDestroy(impl_->dpy, impl_->damage);
    ForgetConnection(impl_->dpy);
    XCloseDisplay(impl_->dpy);
  }
}

bool X11Screen::Open(const char* displayName) {
  InstallX11ErrorHandler();
  impl_->dpy = XOpenDisplay(displayName);
  if (!impl_->dpy) {
    error_ = "cannot open X display";
    return false;
  }
  SurviveConnectionLoss(impl_->dpy);
  const int scr = DefaultScreen(impl_->dpy);
  impl_->root = RootWindow(impl_->dpy, scr);
  impl_->visual = DefaultVisual(impl_->dpy, scr);
  impl_->depth = DefaultDepth(impl_->dpy, scr);
  impl_->shmAvailable = XShmQueryExtension(impl_->dpy);
  int evBase = 0;
  int errBase = 0;
  impl_->fixesAvailable = XFixesQueryExtension(impl_->dpy, &evBase, &errBase);
  return true;
}

bool X11Screen::WatchChanges() {
  int event = 0, error = 0;
  // The changed region is read through XFixes.
  if (!impl_->dpy || !impl_->fixesAvailable || !XDamageQueryExtension(impl_->dpy, &event, &error))
    return false;
  // One event at most between two checks (the region is fetched then), so
  // nothing piles up while the reader waits, paused.
  impl_->damage = XDamageCreate(impl_->dpy, impl_->root, XDamageReportNonEmpty);
  impl_->changed = true;
  return impl_->damage != 0;
}

bool X11Screen::ChangedSince(int x, int y, int width, int height) {
  if (!impl_->damage || ConnectionLost(impl_->dpy)) return true;
  // Only damage events are selected on this connection; the region says
  // what changed.
  while (XPending(impl_->dpy) > 0) {
    XEvent e;
    XNextEvent(impl_->dpy, &e);
  }
  XserverRegion parts = XFixesCreateRegion(impl_->dpy, nullptr, 0);
  XDamageSubtract(impl_->dpy, impl_->damage, None, parts);
  int count = 0;
  XRectangle* rects = XFixesFetchRegion(impl_->dpy, parts, &count);
  bool changed = impl_->changed || !rects;
  for (int i = 0; i < count && !changed; ++i) {
    const XRectangle& a = rects[i];
    changed = a.x < x + width && x < a.x + a.width && a.y < y + height && y < a.y + a.height;
  }
  if (rects) XFree(rects);
  XFixesDestroyRegion(impl_->dpy, parts);
  impl_->changed = false;
  return changed;
}

ScreenSize X11Screen::Size() const {
  if (!impl_->dpy) return {};
  const int scr = DefaultScreen(impl_->dpy);
  return {DisplayWidth(impl_->dpy, scr), DisplayHeight(impl_->dpy, scr)};
}

ScreenSize X11Screen::CurrentSize() {
  if (!impl_->dpy || ConnectionLost(impl_->dpy)) return {};
  Window root = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (!XGetGeometry(impl_->dpy, impl_->root, &root, &x, &y, &width, &height, &border, &depth))
    return {};
  return {static_cast<int>(width), static_cast<int>(height)};
}

bool X11Screen::Lost() const { return !impl_->dpy || ConnectionLost(impl_->dpy); }

void X11Screen::PixelMasks(unsigned long& red, unsigned long& green, unsigned long& blue) const {
  red = impl_->visual ? impl_->visual->red_mask : 0;
  green = impl_->visual ? impl_->visual->green_mask : 0;
  blue = impl_->visual ? impl_->visual->blue_mask : 0;
}

int X11Screen::BitsPerPixel() const {
  if (!impl_->dpy) return 0;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(impl_->dpy, &count);
  int bpp = 0;
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == impl_->depth) bpp = formats[i].bits_per_pixel;
  }
  if (formats) XFree(formats);
  return bpp;
}

bool X11Screen::PrepareGrab(int width, int height) {
  Impl& d = *impl_;
  if (!d.dpy) {
    error_ = "display not open";
    return false;
  }
  d.FreeImage();
  d.width = width;
  d.height = height;
  if (d.shmAvailable && CreateShmImage(d.dpy, d.visual, d.depth, width, height, d.shared)) {
    d.image = d.shared.image;
    return true;
  }
  // Without MIT-SHM (remote display): an XImage the server fills with XGetSubImage.
  const int bpp = BitsPerPixel();
  const int bytesPerLine = ((width * bpp + 31) / 32) * 4;
  char* data = static_cast<char*>(calloc(static_cast<size_t>(bytesPerLine) * height, 1));
  d.image = XCreateImage(d.dpy, d.visual, static_cast<unsigned>(d.depth), ZPixmap, 0, data,
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                         bytesPerLine);
  if (!d.image) {
    free(data);
    error_ = "cannot create an image for grabbing";
    return false;
  }
  return true;
}

bool X11Screen::Grab(int x, int y) {
  Impl& d = *impl_;
  if (!d.image || ConnectionLost(d.dpy)) return false;
  // Both requests wait for their reply, so an X error shows in the result.
  if (d.shared.image) return XShmGetImage(d.dpy, d.root, d.image, x, y, AllPlanes);
  return XGetSubImage(d.dpy, d.root, x, y, static_cast<unsigned>(d.width),
                      static_cast<unsigned>(d.height), AllPlanes, ZPixmap, d.image, 0,
                      0) != nullptr;
}

std::uint8_t* X11Screen::Pixels() const {
  return impl_->image ? reinterpret_cast<std::uint8_t*>(impl_->image->data) : nullptr;
}

int X11Screen::BytesPerLine() const { return impl_->image ? impl_->image->bytes_per_line : 0; }

bool X11Screen::UsesShm() const { return impl_->shared.image != nullptr; }

X11Screen::Native X11Screen::Handles() const {
  return {impl_->dpy, impl_->root, impl_->visual, impl_->depth, impl_->shmAvailable};
}

bool X11Screen::ReadCursor(CursorImage& out) {
  Impl& d = *impl_;
  if (!d.dpy || !d.fixesAvailable) return false;
  X11ErrorTrap trap(d.dpy);
  XFixesCursorImage* img = XFixesGetCursorImage(d.dpy);
  if (!img || !trap.Ok()) {
    if (img) XFree(img);
    return false;
  }
  out.x = img->x;
  out.y = img->y;
  out.xhot = img->xhot;
  out.yhot = img->yhot;
  if (out.serial != img->cursor_serial || out.width != img->width || out.height != img->height ||
      out.pixels.empty()) {
    out.width = img->width;
    out.height = img->height;
    out.serial = img->cursor_serial;
    // XFixes hands out one pixel per unsigned long, 32 bits used.
    out.pixels.resize(static_cast<size_t>(img->width) * img->height);
    for (size_t i = 0; i < out.pixels.size(); ++i)
      out.pixels[i] = static_cast<std::uint32_t>(img->pixels[i]);
  }
  XFree(img);
  return true;
}

bool X11Screen::PointerPosition(int& x, int& y) {
  Impl& d = *impl_;
  if (!d.dpy) return false;
  Window rootRet = 0;
  Window child = 0;
  int wx = 0;
  int wy = 0;
  unsigned mask = 0;
  if (!XQueryPointer(d.dpy, d.root, &rootRet, &child, &x, &y, &wx, &wy, &mask)) return false;
  return true;
}

}  // namespace platform
