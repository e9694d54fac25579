#pragma once
// What the stages of one recording session share: its settings and sizes,
// the run gate, the clock every source places what it takes by, the
// counters, and the listener they report to. The Session fills it while it
// sets the stages up, before any of them runs; the stages only read the
// plain fields.

#include <atomic>
#include <cstdint>
#include <string>

#include "recorder/RecorderTypes.h"
#include "recorder/RunGate.h"
#include "recorder/SessionSettings.h"
#include "recorder/Synchroniser.h"

namespace kal {

struct SessionCounters {
  std::atomic<std::int64_t> picturesGrabbed{0};
  std::atomic<std::int64_t> picturesDropped{0};
  std::atomic<std::int64_t> picturesRepeated{0};
  std::atomic<std::int64_t> picturesEncoded{0};
  std::atomic<std::int64_t> audioFramesEncoded{0};
  std::atomic<std::int64_t> firstRunAt{0};  // microseconds, monotonic; 0 before Run
  std::atomic<std::int64_t> firstPictureMicros{-1};
};

// How stages report; any stage thread.
class StageListener {
 public:
  virtual ~StageListener() = default;
  // The recording cannot go on: it is stopped and the owner told.
  virtual void StageFailed(RecordFailure kind, const std::string& why) = 0;
  // A wanted sound source is missing or gone; silence takes its place.
  virtual void SoundSourceLost(SoundSource source, const std::string& why, bool whileRecording) = 0;
  // A lost sound source delivers again.
  virtual void SoundSourceBack(SoundSource source, const std::string& why) = 0;
  // The camera delivers no more pictures; its last one stands in.
  virtual void CameraLost(const std::string& why) = 0;
  // Whole seconds of picture written so far.
  virtual void SecondsWritten(std::int64_t seconds) = 0;
};

// Tests: faults to meet, set on the Recorder and read live by the stages.
struct TestFaults {
  // The encoder takes no turns while set, as if the disk or the encoder had
  // stalled.
  std::atomic<bool> encoderHeld{false};
  // Every n-th screen grab fails (0: none does).
  std::atomic<int> grabFailsEvery{0};
  // The converter cannot convert pictures, as on a broken picture.
  std::atomic<bool> conversionFails{false};
};

struct SessionState {
  SessionSettings settings;
  int frameRate = 10;
  int width = 0;  // of the recorded pictures
  int height = 0;
  bool muted = false;  // no sound source: the encoder writes silence
  // Content-driven frame rate: a screen picture carries its place on the
  // picture grid, and an unchanged one is left out rather than repeated.
  bool pictureTimes = false;
  RunGate gate;
  Synchroniser sync;
  SessionCounters counters;
  StageListener* listener = nullptr;
  const TestFaults* faults = nullptr;  // none when null
};

}  // namespace kal
