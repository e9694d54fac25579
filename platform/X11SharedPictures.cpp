#include "platform/X11SharedPictures.h"

#include <mutex>
#include <vector>

#include "platform/X11Errors.h"
#include "platform/X11Screen.h"
#include "platform/X11ShmImage.h"

namespace platform {

struct X11SharedPictures::Segment {
  ShmImage shm;
  std::shared_ptr<FreeList> home;
};

// Shared by the pool and every picture out, so a picture given back after
// the pool is gone still finds where to go.
struct X11SharedPictures::FreeList {
  std::mutex lock;
  std::vector<Segment*> segments;
  bool closed = false;
};

X11SharedPictures::X11SharedPictures(X11Screen& screen, int width, int height)
    : screen_(screen), width_(width), height_(height), free_(std::make_shared<FreeList>()) {
  usable_ = screen.Handles().shm && screen.BitsPerPixel() == 32;
  if (!usable_) return;
  // One made now, so that a server that refuses shared memory (a remote
  // one) is known before the recording starts.
  Segment* first = Make();
  usable_ = first != nullptr;
  if (first) free_->segments.push_back(first);
}

X11SharedPictures::~X11SharedPictures() {
  std::vector<Segment*> segments;
  {
    std::lock_guard<std::mutex> lock(free_->lock);
    free_->closed = true;
    segments.swap(free_->segments);
  }
  auto* dpy = static_cast<Display*>(screen_.Handles().display);
  for (Segment* s : segments) {
    FreeShmImage(dpy, s->shm);
    delete s;
  }
}

X11SharedPictures::Segment* X11SharedPictures::Make() {
  const X11Screen::Native n = screen_.Handles();
  auto* dpy = static_cast<Display*>(n.display);
  if (!dpy || ConnectionLost(dpy)) return nullptr;
  auto s = std::make_unique<Segment>();
  s->home = free_;
  if (!CreateShmImage(dpy, static_cast<Visual*>(n.visual), n.depth, width_, height_, s->shm))
    return nullptr;
  return s.release();
}

bool X11SharedPictures::Grab(int x, int y, Picture& out) {
  if (!usable_) return false;
  Segment* s = nullptr;
  {
    std::lock_guard<std::mutex> lock(free_->lock);
    if (!free_->segments.empty()) {
      s = free_->segments.back();
      free_->segments.pop_back();
    }
  }
  if (!s && !(s = Make())) return false;
  auto* dpy = static_cast<Display*>(screen_.Handles().display);
  if (ConnectionLost(dpy) ||
      !XShmGetImage(dpy, static_cast<Window>(screen_.Handles().root), s->shm.image, x, y, AllPlanes)) {
    GiveBack(s);
    return false;
  }
  out.data = reinterpret_cast<std::uint8_t*>(s->shm.image->data);
  out.bytesPerLine = s->shm.image->bytes_per_line;
  out.token = s;
  return true;
}

void X11SharedPictures::GiveBack(void* token) {
  auto* s = static_cast<Segment*>(token);
  std::shared_ptr<FreeList> home = s->home;
  {
    std::lock_guard<std::mutex> lock(home->lock);
    if (!home->closed) {
      home->segments.push_back(s);
      return;
    }
  }
  // The pool is gone: client side only, the server lets go with its
  // connection.
  FreeShmImage(nullptr, s->shm);
  delete s;
}

}  // namespace platform
