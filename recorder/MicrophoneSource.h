#pragma once
// The microphone stage: the first capture device, read from the sound
// server with a short latency, resampled to 32 kHz mono, cleaned in 10 ms
// chunks (noise suppression, gain control), resampled to the encoder's
// format and handed over in its SoundFifo. Sound that is late is replaced by
// silence so the picture never waits for it. A device that has not started
// yet, or stops, is told to the listener once; silence stands in, and its
// sound rejoins the recording when it comes back (a device the sound server
// dropped is asked for again every second).

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "media/CaptureDevices.h"
#include "recorder/SoundFifo.h"
#include "recorder/Stage.h"

namespace kal {

class MicrophoneSource : public Stage {
 public:
  MicrophoneSource(SessionState& session, SoundFifo& out)
      : Stage("microphone", session), out_(out) {}

  // Finds the device and prepares the hand-over. 0, ERR_NO_AUDIO_DEVICE
  // or -1.
  int Setup();

  struct State;  // what the thread allocates for itself

 protected:
  void Body() override;
  void Ended() override;
  bool MayEndBeforeStop() const override { return true; }

 private:
  using Clock = std::chrono::steady_clock;
  // What the listener was told of the device while recording.
  struct Watch {
    StageListener* listener;
    Clock::time_point lastSound;
    bool heard = false;  // it has delivered at all
    bool gone = false;   // it was told as lost and has not come back since
    void Heard(Clock::time_point now);
    void Silent(Clock::time_point now);
    void Gone(const std::string& why);
  };
  bool Connect(State& m, int timeoutMs, std::string& why);
  bool Open(State& m, std::string& lost);
  int TakeFragment(State& m, const void* data, int frames);
  std::int64_t Pending(State& m) const;

  SoundFifo& out_;
  std::vector<CaptureDeviceInfo> devices_;
  SwrPtr resampler_;  // 32 kHz mono 16-bit to the encoder's format
  bool correctionRefused_ = false;
};

}  // namespace kal
