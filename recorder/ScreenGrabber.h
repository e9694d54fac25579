#pragma once
// Grabs one rectangle of the screen per picture and wraps it as a complete
// bitmap file (file header, 40-byte info header, bottom-up rows) in one
// FFmpeg packet, which the bitmap decoder turns back into a picture.
// Set up on the owner's thread, then used by the reader thread alone.

#include <cstdint>
#include <memory>

#include "platform/X11Screen.h"
#include "recorder/FfmpegPtr.h"

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
  int BitsPerPixel() const { return bitsPerPixel_; }
  int HeaderBytes() const { return headerBytes_; }
  int PictureBytes() const { return pictureBytes_; }

  // Grabs the rectangle at the current position into the grab buffer.
  bool Grab() { return screen_->Grab(x_, y_); }
  std::uint8_t* Pixels() const { return screen_->Pixels(); }
  int Stride() const { return screen_->BytesPerLine(); }
  bool ReadCursor(platform::CursorImage& cursor) { return screen_->ReadCursor(cursor); }

  // Fills `packet` with the bitmap file of the last grab. The buffer comes
  // from a pool, so steady recording allocates nothing per picture.
  bool BuildPacket(AVPacket* packet);

 private:
  std::unique_ptr<platform::X11Screen> screen_;
  BufferPoolPtr pool_;
  std::uint8_t infoHeader_[40] = {};
  int x_ = 0;
  int y_ = 0;
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  int rowBytes_ = 0;
  int headerBytes_ = 0;
  int pictureBytes_ = 0;
};

}  // namespace kal
