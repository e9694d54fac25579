#pragma once
// The encoder and writer stage: while recording, takes turns between a
// picture from the FIFO and a frame of sound, whichever is behind in the
// file, encodes it and writes it. After the stop it drains: the pictures
// still converted, what the encoders hold back, and the sound up to the end
// of the picture.

#include <cstdint>

#include "recorder/OutputFile.h"
#include "recorder/SoundInput.h"
#include "recorder/Stage.h"
#include "recorder/VideoFifo.h"

namespace kal {

class EncodeStage : public Stage {
 public:
  EncodeStage(SessionState& session, VideoFifo& pictures, SoundInput& sound, OutputFile& file)
      : Stage("encoder", session), pictures_(pictures), sound_(sound), file_(file) {}

 protected:
  void Body() override;
  void Ended() override { pictures_.EndReading(); }

 private:
  Popped VideoTurn(bool draining);
  bool AudioTurn(bool draining);  // true when a packet was written
  void EncodeVideo(AVFrame* frame);
  bool EncodeAudio(AVFrame* frame);
  void Drain();

  VideoFifo& pictures_;
  SoundInput& sound_;
  OutputFile& file_;
  FramePtr frame_ = MakeFrame();
  std::int64_t frameIndex_ = 0;
  std::int64_t audioSamplesIn_ = 0;  // samples given to the audio encoder
  bool primingSkipped_ = false;
  std::int64_t lastKeyPts_ = -1;  // content-driven frame rate: the last key picture's place
};

}  // namespace kal
