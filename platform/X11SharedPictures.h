#pragma once
// Pictures in memory shared with the X server (MIT-SHM), so that a grab
// lands in the buffer the next stage reads and nothing copies it. Each
// picture is one segment; a grab takes a free one or makes another, and
// whoever is done with it gives it back, from any thread. Segments are made
// and grabbed into on the grabbing thread only, which owns the connection.

#include <cstdint>
#include <memory>

namespace platform {

class X11Screen;

class X11SharedPictures {
 public:
  // For width x height grabs of `screen`'s root window, which must outlive
  // this object. Usable() is false without MIT-SHM.
  X11SharedPictures(X11Screen& screen, int width, int height);
  // Frees the free pictures; those still out are freed when given back.
  ~X11SharedPictures();
  X11SharedPictures(const X11SharedPictures&) = delete;
  X11SharedPictures& operator=(const X11SharedPictures&) = delete;

  bool Usable() const { return usable_; }

  struct Picture {
    std::uint8_t* data = nullptr;  // top-down rows in the server's format
    int bytesPerLine = 0;
    void* token = nullptr;  // for GiveBack
  };
  // Grabs the rectangle at (x, y) into a picture of its own. False on an X
  // error or when no segment can be made.
  bool Grab(int x, int y, Picture& out);
  // Any thread, also after the pool is gone.
  static void GiveBack(void* token);

  struct Segment;
  struct FreeList;

 private:
  Segment* Make();

  X11Screen& screen_;
  int width_;
  int height_;
  bool usable_ = false;
  std::shared_ptr<FreeList> free_;
};

}  // namespace platform
