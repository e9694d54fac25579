#pragma once
// The encoder's side of the sound sources: each call gives the next frame
// of 1024 samples from what the session records. Silence when it records
// no sound; else the microphone, system sound or both mixed, each waited
// for while recording (each source stands in silence for what it lacks).

#include "media/FfmpegPtr.h"
#include "recorder/SessionState.h"
#include "recorder/SoundFifo.h"

namespace kal {

class SoundInput {
 public:
  SoundInput(SessionState& session, SoundFifo& microphone, SoundFifo& system)
      : session_(session), microphone_(microphone), system_(system) {}

  // Builds the mix for both sources, in the encoder's format. 0 or -1.
  int Setup(const AVCodecContext* encoder);
  // The next frame. While recording, a stop ends the wait for the
  // microphone (nullptr); while draining, silence makes up what is missing
  // so the picture is never held up.
  FramePtr Next(bool draining);

 private:
  FramePtr NewFrame(bool withBuffer) const;
  static bool Take(SoundFifo& fifo, AVFrame* frame, bool draining);
  bool Mix(AVFrame* microphone, AVFrame* system, AVFrame* mixed);

  SessionState& session_;
  SoundFifo& microphone_;
  SoundFifo& system_;
  const AVCodecContext* encoder_ = nullptr;
  FilterGraphPtr mixGraph_;
  AVFilterContext* mixSystem_ = nullptr;      // "in0"
  AVFilterContext* mixMicrophone_ = nullptr;  // "in1"
  AVFilterContext* mixSink_ = nullptr;        // "out"
  std::int64_t mixPts_ = 0;
};

}  // namespace kal
