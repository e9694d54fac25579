#include "ui/PictureLoop.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>

#include "ui/VideoHost.h"

namespace kal::ui {
namespace {

// No picture waits longer than this for its turn (a broken time stamp).
constexpr double kLongestDelay = 2.0;
// A drawer with nothing to draw yet is asked again this soon.
constexpr double kNothingYet = 0.01;
// How often the refresh thread reads SDL's events when idle.
constexpr std::chrono::milliseconds kPumpEvery{50};

}  // namespace

void PictureLoop::Start(DrawFn draw) {
  Stop();
  EnsureSdl();  // SDL's video starts on the UI thread, once
  draw_ = std::move(draw);
  quit_ = false;
  refreshRequested_ = true;
  const unsigned long id = host_.NativeId();
  host_.SetRedrawHook([this] {
    std::lock_guard<std::mutex> hold(lock_);
    presentPending_ = true;
    cond_.notify_all();
  });
  event_ = std::thread([this] { EventThread(); });
  refresh_ = std::thread([this, id] { RefreshThread(id); });
}

void PictureLoop::Stop() {
  if (!event_.joinable() && !refresh_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    quit_ = true;
  }
  cond_.notify_all();
  if (event_.joinable()) event_.join();
  if (refresh_.joinable()) refresh_.join();
  host_.SetRedrawHook({});
}

void PictureLoop::SetPaused(bool paused) {
  std::lock_guard<std::mutex> hold(lock_);
  paused_ = paused;
  if (!paused) skipDelay_ = true;
  cond_.notify_all();
}

void PictureLoop::Refresh() {
  std::lock_guard<std::mutex> hold(lock_);
  refreshRequested_ = true;
  step_ = paused_;
  skipDelay_ = true;
  cond_.notify_all();
}

void PictureLoop::EventThread() {
  pthread_setname_np(pthread_self(), "kal pictures");
  std::unique_lock<std::mutex> l(lock_);
  while (!quit_) {
    cond_.wait(l, [this] { return quit_ || (refreshRequested_ && (!paused_ || step_)); });
    if (quit_) break;
    refreshRequested_ = false;
    const double delay = std::min(delay_, kLongestDelay);
    if (delay > 0 && !skipDelay_) {
      cond_.wait_for(l, std::chrono::duration<double>(delay),
                     [this] { return quit_ || skipDelay_; });
    }
    skipDelay_ = false;
    if (quit_) break;
    if (paused_ && !step_) {
      refreshRequested_ = true;  // the next picture waits for the resume
      continue;
    }
    step_ = false;
    drawPending_ = true;
    cond_.notify_all();
  }
}

void PictureLoop::RefreshThread(unsigned long nativeId) {
  pthread_setname_np(pthread_self(), "kal refresh");
  SdlCanvas canvas(host_, nativeId);
  const bool open = canvas.Open();
  std::unique_lock<std::mutex> l(lock_);
  while (!quit_) {
    cond_.wait_for(l, kPumpEvery, [this] { return quit_ || drawPending_ || presentPending_; });
    if (quit_) break;
    const bool draw = drawPending_, present = presentPending_;
    drawPending_ = presentPending_ = false;
    l.unlock();
    double next = kNothingYet;
    if (draw && open) {
      next = draw_(canvas);
      if (next < 0) next = kNothingYet;
    } else if (present && open) {
      canvas.Present();
    } else if (open) {
      canvas.Pump();
    }
    l.lock();
    if (draw) {
      delay_ = next;
      refreshRequested_ = true;
      cond_.notify_all();
    }
  }
  l.unlock();
  canvas.Close();
}

}  // namespace kal::ui
