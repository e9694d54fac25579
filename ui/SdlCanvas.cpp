#include "ui/SdlCanvas.h"

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <list>
#include <memory>
#include <thread>

#include <glog/logging.h>

#include "ui/VideoHost.h"

namespace kal::ui {
namespace {

struct SdlState {
  std::once_flag once;
  bool video = false;
  bool audio = false;
  // Playback devices being closed, one thread each, with what is done.
  std::mutex closeLock;
  std::list<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> closers;
  ~SdlState() {
    for (auto& closer : closers) closer.first.join();
  }
};
SdlState& State() {
  static SdlState state;
  return state;
}

}  // namespace

std::mutex& SdlVideoLock() {
  static std::mutex lock;
  return lock;
}

bool EnsureSdl() {
  SdlState& s = State();
  std::call_once(s.once, [&s] {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "1");
    // A window SDL did not make cannot become an OpenGL one: trying loads
    // and drops the GL driver for nothing, each time.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    std::lock_guard<std::mutex> hold(SdlVideoLock());
    s.video = SDL_InitSubSystem(SDL_INIT_TIMER | SDL_INIT_VIDEO) == 0;
    if (!s.video) LOG(ERROR) << "SDL video could not start: " << SDL_GetError();
    s.audio = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!s.audio) LOG(ERROR) << "SDL audio could not start: " << SDL_GetError();
  });
  return s.video;
}

bool SdlHasAudio() { return EnsureSdl(), State().audio; }

void CloseAudioDeviceLater(std::uint32_t device) {
  SdlState& s = State();
  std::lock_guard<std::mutex> hold(s.closeLock);
  for (auto it = s.closers.begin(); it != s.closers.end();) {
    if (!*it->second) {
      ++it;
      continue;
    }
    it->first.join();
    it = s.closers.erase(it);
  }
  auto done = std::make_shared<std::atomic<bool>>(false);
  s.closers.emplace_back(std::thread([device, done] {
                           SDL_CloseAudioDevice(device);
                           *done = true;
                         }),
                         done);
}

void FinishClosingAudio() {
  SdlState& s = State();
  std::lock_guard<std::mutex> hold(s.closeLock);
  for (auto& closer : s.closers) closer.first.join();
  s.closers.clear();
}

void ShutdownSdl() {
  SdlState& s = State();
  FinishClosingAudio();
  if (!s.video && !s.audio) return;
  std::lock_guard<std::mutex> hold(SdlVideoLock());
  SDL_Quit();
  s.video = s.audio = false;
}

bool SdlCanvas::Open() {
  if (!EnsureSdl()) return false;
  std::lock_guard<std::mutex> hold(SdlVideoLock());
  return Wrap();
}

// SDL learns a foreign window's size when it takes the window, and its own
// resizing would move the window to where it first found it: a new size is
// met by taking the window afresh.
bool SdlCanvas::Wrap() {
  Unwrap();
  windowSize_ = host_.DrawingSize();
  window_ = SDL_CreateWindowFrom(reinterpret_cast<const void*>(nativeId_));
  if (!window_) {
    LOG(ERROR) << "SDL could not take the picture window: " << SDL_GetError();
    return false;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) {
    LOG(ERROR) << "SDL could not make a renderer: " << SDL_GetError();
    return false;
  }
  SDL_PumpEvents();
  return true;
}

void SdlCanvas::Unwrap() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);  // the host's window itself stays
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
}

bool SdlCanvas::Draw(const std::uint8_t* const planes[3], const int pitches[3], QSize size,
                     bool planar) {
  std::lock_guard<std::mutex> geometry(host_.GeometryLock());
  std::lock_guard<std::mutex> hold(SdlVideoLock());
  const int count = planar ? 3 : 1;
  std::size_t total = 0;
  for (int i = 0; i < count; ++i) {
    const int rows = i == 0 ? size.height() : (size.height() + 1) / 2;
    lastOffset_[i] = total;
    lastPitch_[i] = pitches[i];
    total += static_cast<std::size_t>(pitches[i]) * rows;
  }
  last_.resize(total);
  for (int i = 0; i < count; ++i) {
    const std::size_t bytes = (i + 1 < count ? lastOffset_[i + 1] : total) - lastOffset_[i];
    std::memcpy(last_.data() + lastOffset_[i], planes[i], bytes);
  }
  lastPlanar_ = planar;
  lastSize_ = size;
  return Show();
}

void SdlCanvas::Present() {
  std::lock_guard<std::mutex> geometry(host_.GeometryLock());
  std::lock_guard<std::mutex> hold(SdlVideoLock());
  if (!last_.empty()) Show();
}

bool SdlCanvas::Show() {
  const QSize host = host_.DrawingSize();
  if (host.isEmpty()) return true;
  if (host != windowSize_ && !Wrap()) return false;
  if (!renderer_) return false;
  if (!texture_ || textureSize_ != lastSize_ || texturePlanar_ != lastPlanar_) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, lastPlanar_ ? SDL_PIXELFORMAT_IYUV : SDL_PIXELFORMAT_YUY2,
                                 SDL_TEXTUREACCESS_STREAMING, lastSize_.width(), lastSize_.height());
    if (!texture_) {
      LOG(ERROR) << "SDL could not make a texture: " << SDL_GetError();
      return false;
    }
    textureSize_ = lastSize_;
    texturePlanar_ = lastPlanar_;
  }
  const SDL_Rect source{0, 0, lastSize_.width(), lastSize_.height()};
  const std::uint8_t* p = last_.data();
  const int r = lastPlanar_ ? SDL_UpdateYUVTexture(texture_, &source, p + lastOffset_[0], lastPitch_[0],
                                                   p + lastOffset_[1], lastPitch_[1],
                                                   p + lastOffset_[2], lastPitch_[2])
                            : SDL_UpdateTexture(texture_, &source, p, lastPitch_[0]);
  if (r != 0) {
    LOG(ERROR) << "SDL could not take the picture: " << SDL_GetError();
    return false;
  }
  if (SDL_RenderClear(renderer_) != 0) LOG(ERROR) << "sdlRenderer error: " << SDL_GetError();
  const SDL_Rect target{0, 0, host.width(), host.height()};
  SDL_RenderCopy(renderer_, texture_, nullptr, &target);
  SDL_RenderPresent(renderer_);
  return true;
}

void SdlCanvas::Pump() {
  std::lock_guard<std::mutex> hold(SdlVideoLock());
  if (!window_) return;
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

void SdlCanvas::Close() {
  std::lock_guard<std::mutex> hold(SdlVideoLock());
  Unwrap();
}

}  // namespace kal::ui
