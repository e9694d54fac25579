#pragma once
// Cleans microphone sound in 10 ms chunks of 32 kHz mono 16-bit samples:
// noise suppression at its highest level, then, when switched on, gain
// control with a fixed digital gain, target level 3 dBFS and the limiter on.
// One object per microphone thread.

#include <cstdint>
#include <memory>

namespace webrtc {
class AudioProcessing;
}

namespace kal {

class VoiceProcessor {
 public:
  static constexpr int kSampleRate = 32000;
  static constexpr int kChunkSamples = 320;

  VoiceProcessor();
  ~VoiceProcessor();
  VoiceProcessor(const VoiceProcessor&) = delete;
  VoiceProcessor& operator=(const VoiceProcessor&) = delete;

  // False (with the failing step logged) when the processing cannot be set up.
  bool Init(bool gainControl, int compressionGainDb);
  // Processes one chunk of kChunkSamples samples in place; false on failure.
  bool Process(std::int16_t* chunk);

 private:
  std::unique_ptr<webrtc::AudioProcessing> apm_;
  struct FrameHolder;
  std::unique_ptr<FrameHolder> frame_;
};

}  // namespace kal
