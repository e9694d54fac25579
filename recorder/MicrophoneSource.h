#pragma once
// The microphone stage: the first capture device, read from the sound
// server with a short latency, resampled to 32 kHz mono, cleaned in 10 ms
// chunks (noise suppression, gain control), resampled to the encoder's
// format and handed over in its SoundFifo. Sound that is late is replaced by
// silence so the picture never waits for it; a device that stops is told
// to the listener and the recording goes on with silence.

#include <cstdint>
#include <string>
#include <vector>

#include "recorder/CaptureDevices.h"
#include "recorder/SoundFifo.h"
#include "recorder/Stage.h"

namespace kal {

class SoundTimeline;

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

 private:
  bool Open(State& m, bool& opened, std::string& lost);
  void AlignStart(State& m);
  int TakeFragment(State& m, const void* data, int frames);
  void WriteSilence(SoundTimeline& timeline, std::int64_t samples);

  SoundFifo& out_;
  std::vector<CaptureDeviceInfo> devices_;
  SwrPtr resampler_;  // 32 kHz mono 16-bit to the encoder's format
};

}  // namespace kal
