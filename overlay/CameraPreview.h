#pragma once
// The camera preview's player: the first camera (video4linux2), opened
// without blocking so a stalled camera never holds up a close, read by a
// thread of its own into a PacketQueue of at most 7 packets (newer ones are
// dropped, so the picture never lags), decoded and drawn into a VideoHost
// by a PictureLoop about every 20 ms. While it runs the camera is claimed,
// so a camera recording says it is busy. Start and Stop on the UI thread.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "media/FfmpegPtr.h"
#include "media/PacketQueue.h"
#include "media/PictureDecoder.h"
#include "media/StopSignal.h"
#include "ui/PictureLoop.h"

namespace kal {

namespace ui {
class VideoHost;
}

class CameraPreview {
 public:
  static constexpr int kQueueBound = 7;

  explicit CameraPreview(ui::VideoHost& host) : host_(host) {}
  ~CameraPreview() { Stop(); }
  CameraPreview(const CameraPreview&) = delete;
  CameraPreview& operator=(const CameraPreview&) = delete;

  // Called on the read thread, once, when the camera delivers no more
  // (unplugged): the last picture stays.
  void SetLostCallback(std::function<void()> lost) { lost_ = std::move(lost); }
  // Opens the first camera, or the FFmpeg input `format`/`url` when `url`
  // is given, and starts the threads. False with `why` ("no camera", ...).
  bool Start(const std::string& format, const std::string& url, std::string& why);
  // Ends every thread and lets the camera go.
  void Stop();

 private:
  void ReadThread();
  double Draw(ui::SdlCanvas& canvas);

  ui::VideoHost& host_;
  std::function<void()> lost_;
  std::string url_;
  InputContextPtr input_;
  int videoIndex_ = -1;
  PacketQueue queue_{kQueueBound};
  std::unique_ptr<PictureDecoder> pictures_;
  std::unique_ptr<ui::PictureLoop> loop_;
  std::thread reader_;
  StopSignal stop_;  // ends the read thread
};

}  // namespace kal
