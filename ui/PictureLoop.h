#pragma once
// The two picture threads of a drawer (the player, the camera preview):
//  - the event thread waits until the last picture asked for the next one,
//    sleeps the delay that picture set (woken at once by Refresh and Stop),
//    and tells the refresh thread to draw; while paused it only waits;
//  - the refresh thread owns the SDL canvas (every SDL video call of the
//    drawer is made there), draws when told, shows the last picture again
//    when the host was resized or uncovered, and reads SDL's events.
// Start, Stop, SetPaused and Refresh are called on the UI thread.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "ui/SdlCanvas.h"

namespace kal::ui {

class VideoHost;

class PictureLoop {
 public:
  // Draws the next picture; returns the seconds until the one after it,
  // or a negative number when there was none to draw yet.
  using DrawFn = std::function<double(SdlCanvas&)>;

  explicit PictureLoop(VideoHost& host) : host_(host) {}
  ~PictureLoop() { Stop(); }
  PictureLoop(const PictureLoop&) = delete;
  PictureLoop& operator=(const PictureLoop&) = delete;

  void Start(DrawFn draw);
  // Ends both threads and waits for them; the canvas is closed.
  void Stop();
  void SetPaused(bool paused);
  // Draws at once, without the delay (a seek, a resume); paused, draws
  // one picture.
  void Refresh();

 private:
  void EventThread();
  void RefreshThread(unsigned long nativeId);

  VideoHost& host_;
  DrawFn draw_;
  std::mutex lock_;
  std::condition_variable cond_;
  bool quit_ = false;
  bool paused_ = false;
  bool refreshRequested_ = true;
  bool skipDelay_ = false;
  bool step_ = false;
  bool drawPending_ = false;
  bool presentPending_ = false;
  double delay_ = 0;
  std::thread event_;
  std::thread refresh_;
};

}  // namespace kal::ui
