#pragma once
// SDL for the whole process, and a canvas that draws pictures into a
// VideoHost with SDL's renderer.
//
// SDL is initialised once (timer, video, and audio where a sound server
// answers) with its signal handlers off, and shut down at the program's
// end, so the camera preview and the player never pull SDL out from under
// each other. SDL's window list and event pump are not safe from several
// threads, and each of those draws from a thread of its own: every SDL video
// call of the process is made under SdlVideoLock().

#include <QSize>

#include <cstdint>
#include <mutex>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace kal::ui {

class VideoHost;

// False when SDL's video cannot start (logged once). Any thread.
bool EnsureSdl();
// True when SDL's audio started too.
bool SdlHasAudio();
// At the program's end, after every drawer and player has stopped.
void ShutdownSdl();
// Closes a paused playback device on SDL's closing thread: SDL plays out
// what the server holds before it lets a device go, which takes as long as
// the server's latency; nobody waits for that. Any thread.
void CloseAudioDeviceLater(std::uint32_t device);
// Waits until every device handed to CloseAudioDeviceLater is closed (SDL
// keeps 16 open at most).
void FinishClosingAudio();
std::mutex& SdlVideoLock();

// Used on one thread only (a drawer's refresh thread): it wraps the host's
// native window, made by the UI thread beforehand.
class SdlCanvas {
 public:
  SdlCanvas(VideoHost& host, unsigned long nativeId) : host_(host), nativeId_(nativeId) {}
  ~SdlCanvas() { Close(); }
  SdlCanvas(const SdlCanvas&) = delete;
  SdlCanvas& operator=(const SdlCanvas&) = delete;

  bool Open();
  // Draws a picture of `size` stretched over the host, under the host's
  // geometry lock: planar YUV 4:2:0 (three planes) when `planar`, else
  // packed YUYV 4:2:2 (the first plane). False when SDL failed (logged).
  bool Draw(const std::uint8_t* const planes[3], const int pitches[3], QSize size, bool planar);
  // Shows the last picture again (the host was resized or uncovered).
  void Present();
  // Reads SDL's pending events, which nothing here needs.
  void Pump();
  void Close();

 private:
  // Under the SDL lock.
  bool Wrap();
  void Unwrap();
  bool Show();  // also under the geometry lock
  VideoHost& host_;
  unsigned long nativeId_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  QSize textureSize_;
  QSize windowSize_;
  // The last picture, shown again after a resize or an exposure.
  std::vector<std::uint8_t> last_;  // its planes one after the other
  int lastPitch_[3] = {};
  std::size_t lastOffset_[3] = {};
  bool lastPlanar_ = false;
  QSize lastSize_;
  bool texturePlanar_ = false;
};

}  // namespace kal::ui
