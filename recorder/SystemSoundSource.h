#pragma once
// The system-sound stage: the default sink's monitor, collected in staging
// blocks of 22,050 sample frames (about half a second), converted to the
// encoder's format and appended to its SoundFifo. While nothing plays the
// source is inactive and the encoder takes silence without waiting. A
// monitor the sound server drops is told once and asked for again every
// second; its sound rejoins the recording when it is back.

#include <atomic>
#include <memory>
#include <string>

#include "recorder/SoundFifo.h"
#include "recorder/Stage.h"

namespace platform {
class PulseCapture;
}

namespace kal {

class SystemSoundSource : public Stage {
 public:
  SystemSoundSource(SessionState& session, SoundFifo& out)
      : Stage("system sound", session), out_(out) {}

  // Prepares the hand-over. False on failure.
  bool Setup();
  // Something has played lately: the encoder waits for its sound.
  bool Active() const { return active_.load(); }

 protected:
  void Body() override;
  void Ended() override;
  bool MayEndBeforeStop() const override { return true; }

 private:
  class Converter;
  // The connection to the monitor and the converter for its format; both
  // null while the server has dropped it.
  struct Capture {
    std::unique_ptr<platform::PulseCapture> capture;
    std::unique_ptr<Converter> converter;
    std::string error;
  };
  bool Connect(Capture& c, int timeoutMs);
  bool AlignStart(platform::PulseCapture& capture);
  void Report(const std::string& lost, bool whileRecording);

  SoundFifo& out_;
  std::atomic<bool> active_{false};
};

}  // namespace kal
