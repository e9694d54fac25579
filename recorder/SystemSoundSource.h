#pragma once
// The system-sound stage: the default sink's monitor, each fragment
// converted to the encoder's format as it comes and appended to its
// SoundFifo at its place on the recording's clock. While nothing plays
// (the server sends nothing) silence stands in, a little behind the
// picture. A monitor the sound server drops is told once and asked for
// again every second; its sound rejoins the recording when it is back.

#include <cstdint>
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
  void Report(const std::string& lost, bool whileRecording);

  SoundFifo& out_;
};

}  // namespace kal
