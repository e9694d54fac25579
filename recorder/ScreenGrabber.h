#pragma once
// Grabs one rectangle of the screen per picture and hands it over as one
// FFmpeg packet of raw BGR0 pixels (top-down rows of width x 4 bytes), which
// the rawvideo decoder turns into a picture without copying. On a local
// 32-bit screen the server writes each grab straight into the packet's own
// memory (a shared-memory segment from X11SharedPictures), so nothing copies
// the picture before the conversion. Screens of 16 or 24 bits a pixel are
// converted; a rectangle that no longer lies wholly on the screen (the
// screen shrank) is grabbed where it does and black elsewhere. Set up on the
// owner's thread, then used by the reader thread alone.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/X11Screen.h"
#include "platform/X11SharedPictures.h"
#include "recorder/CaptureGeometry.h"
#include "media/FfmpegPtr.h"
#include "recorder/PixelConvert.h"

namespace kal {

class ScreenGrabber {
 public:
  // Opens the display and prepares width x height grabs. False on failure.
  bool Setup(int x, int y, int width, int height);
  void Release();

  void MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
  }
  int X() const { return x_; }
  int Y() const { return y_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The screen's size as last seen (see Refit).
  int ScreenWidth() const { return screenWidth_; }
  int ScreenHeight() const { return screenHeight_; }
  int PictureBytes() const { return pictureBytes_; }

  // Whether the rectangle at the current position may have changed since
  // the last call (XDamage; always true without it).
  bool Changed() { return screen_->ChangedSince(x_, y_, width_, height_); }
  // Grabs the rectangle at the current position. False on an X error.
  bool Grab();
  // The last grab, top-down BGRX rows of Stride() bytes.
  std::uint8_t* Pixels();
  int Stride() const;
  bool ReadCursor(platform::CursorImage& cursor) { return screen_->ReadCursor(cursor); }
  // Asks the server for the screen's size; true when it changed (XRandR),
  // after which grabs follow the new size. False also when the connection
  // is gone.
  bool Refit();
  bool Lost() const { return !screen_ || screen_->Lost(); }

  // Hands the last grab over in `packet`: the shared picture itself, or a
  // copy in a pooled buffer, so steady recording allocates nothing per
  // picture.
  bool BuildPacket(AVPacket* packet);
  // The decoder of these packets.
  static CodecContextPtr MakeDecoder(int width, int height, int frameRate);

  ScreenGrabber() = default;
  ~ScreenGrabber() { Release(); }
  ScreenGrabber(const ScreenGrabber&) = delete;
  ScreenGrabber& operator=(const ScreenGrabber&) = delete;

 private:
  void GiveBackShot();

  std::unique_ptr<platform::X11Screen> screen_;
  std::unique_ptr<platform::X11SharedPictures> shared_;
  platform::X11SharedPictures::Picture shot_;  // grabbed and not yet handed over
  BufferPoolPtr pool_;
  PixelFormat format_;
  int x_ = 0;
  int y_ = 0;
  int width_ = 0;
  int height_ = 0;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  Rect prepared_;           // the part of the rectangle the X image holds
  bool direct_ = true;      // the X image is the picture itself
  std::vector<std::uint8_t> converted_;  // the picture otherwise
  int rowBytes_ = 0;
  int pictureBytes_ = 0;
};

}  // namespace kal
