#pragma once
// X11 screen access for the recorder: one connection per owner, used by one
// thread at a time. Grabs rectangles of the root window through MIT-SHM
// (plain XGetImage when the extension is missing) and reads the cursor image
// and position through XFixes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct ScreenSize {
  int width = 0;
  int height = 0;
};

// Size of the default screen of `displayName` (nullptr: $DISPLAY); 0x0 when
// no display can be opened. Any thread.
ScreenSize QueryScreenSize(const char* displayName = nullptr);

// One monitor of the screen, in root-window coordinates.
struct Monitor {
  std::string name;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool primary = false;
};

// The screen's monitors as XRandR reports them (the whole screen as one
// monitor where XRandR has none); empty when no display can be opened.
// Any thread.
std::vector<Monitor> QueryMonitors(const char* displayName = nullptr);

// What "full screen" records: the primary monitor, else the monitor at the
// screen's origin, else the first, else the whole screen.
Monitor PrimaryMonitor(const std::vector<Monitor>& monitors, ScreenSize screen);

// The cursor as XFixes reports it: premultiplied ARGB pixels, top-down.
struct CursorImage {
  int x = 0;  // pointer position on the root window
  int y = 0;
  int width = 0;
  int height = 0;
  int xhot = 0;
  int yhot = 0;
  unsigned long serial = 0;  // changes when the cursor's shape changes
  std::vector<std::uint32_t> pixels;
};

class X11Screen {
 public:
  X11Screen();
  ~X11Screen();
  X11Screen(const X11Screen&) = delete;
  X11Screen& operator=(const X11Screen&) = delete;

  // Opens the display (nullptr: $DISPLAY). False with a reason in Error().
  bool Open(const char* displayName = nullptr);
  ScreenSize Size() const;
  // The root window's size as the server has it now (a round trip), which
  // follows XRandR changes. 0x0 when the connection is lost.
  ScreenSize CurrentSize();
  // True once the connection to the server is gone.
  bool Lost() const;
  // Bits per pixel of images of the root window's depth (32 on every usual
  // TrueColor server).
  int BitsPerPixel() const;

  // Prepares grabs of width x height pictures. False with a reason.
  bool PrepareGrab(int width, int height);
  // Grabs the rectangle at (x, y) of the prepared size into the grab buffer.
  // The rectangle must lie on the screen. False on an X error.
  bool Grab(int x, int y);
  // The last grabbed picture: top-down rows of BytesPerLine() bytes in the
  // server's format (BGRX where BitsPerPixel() is 32; see PixelMasks()).
  std::uint8_t* Pixels() const;
  // Red, green and blue masks of a pixel of the screen's visual.
  void PixelMasks(unsigned long& red, unsigned long& green, unsigned long& blue) const;
  int BytesPerLine() const;
  bool UsesShm() const;

  // Starts noting which parts of the screen change (XDamage). False when
  // the server has no DAMAGE extension.
  bool WatchChanges();
  // Whether anything inside the rectangle changed since the last call (or
  // since WatchChanges); true when changes are not watched.
  bool ChangedSince(int x, int y, int width, int height);

  // Current cursor image and position; false when XFixes is missing or the
  // request failed (the previous contents of `out` are kept then).
  bool ReadCursor(CursorImage& out);
  // Pointer position only (cheaper than ReadCursor). False on failure.
  bool PointerPosition(int& x, int& y);

  const std::string& Error() const { return error_; }

  // For X11SharedPictures: the connection, the root window, its visual
  // and depth, and whether MIT-SHM is there.
  struct Native {
    void* display = nullptr;  // Display*
    unsigned long root = 0;
    void* visual = nullptr;  // Visual*
    int depth = 0;
    bool shm = false;
  };
  Native Handles() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string error_;
};

}  // namespace platform
