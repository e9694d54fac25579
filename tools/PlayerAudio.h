#pragma once
// The player's sound: the audio stream decoded inside SDL's audio callback,
// converted to signed 16-bit at the device's rate and channels, and mixed
// at the player's volume. Its clock (the time of the sound leaving the
// device now) is the player's master clock.

#include <SDL.h>

#include <atomic>
#include <string>
#include <vector>

#include "media/FfmpegPtr.h"
#include "media/PacketQueue.h"
#include "media/StreamDecoder.h"
#include "tools/PlayerClock.h"

namespace kal {

class PlayerAudio {
 public:
  PlayerAudio(PacketQueue& queue, PlayerClock& clock) : queue_(queue), clock_(clock) {}
  ~PlayerAudio() { Close(); }

  // Opens the decoder of `stream` and a playback device for it, paused.
  // False, with `why`, when either cannot be had.
  bool Open(const AVStream* stream, std::string& why);
  void Start() { Pause(false); }
  void Pause(bool paused);
  // Closes the device (its callback has returned afterwards).
  void Close();
  void SetVolume(int volume) { volume_ = volume; }
  // While true, the callback plays silence and leaves the queue alone.
  void SetSeeking(bool seeking) { seeking_ = seeking; }
  // Sound of `serial` that ends before `seconds` is dropped (a seek lands
  // on the key picture before its place).
  void SkipUntil(int serial, double seconds) {
    skipUntil_ = seconds;
    skipSerial_ = serial;
  }
  // The last serial whose sound has been played out to its end, or -1.
  int EndedSerial() const { return decoder_.EndedSerial(); }
  int ByteRate() const { return byteRate_; }

 private:
  static void Callback(void* self, Uint8* out, int len);
  void Fill(Uint8* out, int len);
  // Decodes one frame into the buffer; its byte count, or -1 with none.
  int DecodeFrame();
  bool Convert(const AVFrame* frame);

  PacketQueue& queue_;
  PlayerClock& clock_;
  StreamDecoder decoder_{queue_};
  SDL_AudioDeviceID device_ = 0;
  SDL_AudioSpec granted_{};
  int byteRate_ = 0;
  SwrPtr resampler_;
  int swrFormat_ = -1, swrRate_ = 0;
  AVChannelLayout swrLayout_{};
  std::vector<std::uint8_t> buffer_;
  int bufferSize_ = 0, bufferIndex_ = 0;
  bool silence_ = false;
  double audioClock_ = NAN;  // end of the last decoded frame
  std::atomic<int> volume_{69};
  std::atomic<bool> seeking_{false};
  std::atomic<double> skipUntil_{0};
  std::atomic<int> skipSerial_{-1};
};

}  // namespace kal
