#pragma once
// The cut page's preview player. A read thread splits the file into a video
// and an audio PacketQueue (at most 180 packets each; the reader waits when
// one is full). The sound is decoded in SDL's audio callback and is the
// master clock (the external clock when the file has no sound or no sound
// device answers); the pictures are decoded, timed against the master and
// drawn into a VideoHost by a PictureLoop. A seek empties both queues under
// a new serial, so nothing read before it is played after it.
//
// All members are called on the UI thread. The finish callback runs on the
// read thread, once, when the file has been played to its end, and never
// after Close: it should only post.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "media/FfmpegPtr.h"
#include "media/PacketQueue.h"
#include "media/PictureDecoder.h"
#include "media/StopSignal.h"
#include "tools/PlayerAudio.h"
#include "tools/PlayerClock.h"
#include "ui/PictureLoop.h"

namespace kal {

namespace ui {
class VideoHost;
}

class MediaPlayer {
 public:
  enum State { kCreated = 0, kPlaying = 1, kPaused = 2, kStopped = 3 };
  static constexpr int kDefaultVolume = 69;
  static constexpr int kQueueBound = 180;

  explicit MediaPlayer(ui::VideoHost& host);
  ~MediaPlayer() { Close(); }
  MediaPlayer(const MediaPlayer&) = delete;
  MediaPlayer& operator=(const MediaPlayer&) = delete;

  void SetFinishCallback(std::function<void()> callback) { finish_ = std::move(callback); }
  void SetCallFinish(bool on) { callFinish_ = on; }

  // Opens the file and starts playing it: 0, or -1 with Error() saying why
  // (the player stays created and draws nothing).
  int Play(const std::string& path);
  const std::string& Error() const { return error_; }
  void TogglePause();
  void SeekToFraction(double fraction);
  void SeekForward(double seconds) { SeekTo(Position() + seconds); }
  void SeekBackward(double seconds) { SeekTo(Position() - seconds); }
  void SetVolume(int volume);  // 0-128
  // Seconds played and the file's length.
  double Position() const;
  double Duration() const { return duration_; }
  int GetState() const { return state_.load(); }
  bool HasVideo() const { return videoIndex_ >= 0; }
  // Stops every thread and frees the file. Only while playing or paused.
  void Close();

 private:
  int Open(const std::string& path);
  void SeekTo(double seconds);
  void ReadThread();
  // At the end of the file: true once every stream has been played out.
  bool PlayedToEnd(int serial) const;
  double DrawPicture(ui::SdlCanvas& canvas);
  double MasterClock() const;

  ui::VideoHost& host_;
  std::string path_;
  std::string error_;
  std::function<void()> finish_;
  std::atomic<bool> callFinish_{false};
  std::atomic<int> state_{kCreated};
  std::atomic<int> volume_{kDefaultVolume};

  std::mutex demuxLock_;  // reading and seeking
  InputContextPtr input_;
  double duration_ = 0;
  int videoIndex_ = -1, audioIndex_ = -1;
  PacketQueue videoQueue_{kQueueBound};
  PacketQueue audioQueue_{kQueueBound};
  std::unique_ptr<PictureDecoder> pictures_;
  std::unique_ptr<PlayerAudio> audio_;
  std::unique_ptr<ui::PictureLoop> loop_;

  PlayerClock audioClock_, videoClock_, externalClock_;
  double lastPts_ = NAN;       // refresh thread
  double firstPictureAt_ = 0;  // refresh thread
  std::atomic<double> skipUntil_{0};
  std::atomic<int> skipSerial_{-1};
  double frameDuration_ = 0.04;

  std::thread reader_;
  StopSignal stop_;  // ends the read thread
  std::atomic<int> endOfFileSerial_{-1};
  bool finished_ = false;  // read thread
};

}  // namespace kal
