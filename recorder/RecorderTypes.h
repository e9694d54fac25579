#pragma once
// Types the engine shares with its owners (the main window, kalrec, tests).

#include <cstdint>

namespace kal {

// Result codes of Recorder::Start besides 0 (success), -1 and negative
// FFmpeg codes.
inline constexpr int ERR_NO_VIDEO_DEVICE = 500001;
inline constexpr int ERR_NO_AUDIO_DEVICE = 500002;

enum RecorderState : int { kIdle = 0, kRecording = 1, kPaused = 2, kStopped = 3 };

// Custom window messages are numbered from WM_USER, as the window layer's are.
inline constexpr unsigned kWmUser = 0x0400;
// wParam = the session's number (Recorder::Session), lParam = whole seconds
// of video written so far.
inline constexpr unsigned WMU_RECORD_SECONDS = kWmUser + 820;

// How the engine tells its owner something. Post must not block and may be
// called from any engine thread; the owner delivers the message on its own
// thread later.
class MessagePoster {
 public:
  virtual ~MessagePoster() = default;
  virtual void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// The recording ended by itself because its file could not be written, or
// its file could not be finished after the stop (kFailureFinish: the
// recording is left as the ".part" file); wParam is a RecordFailure, lParam
// 0, and Recorder::Failure() has the details.
inline constexpr unsigned WMU_RECORD_FAILED = kWmUser + 821;
enum RecordFailure : std::uintptr_t {
  kFailureDiskFull = 1,
  kFailureWriteError = 2,
  kFailureFinish = 3
};

// A sound source the session wanted is missing or has gone; the recording
// goes on with silence in its place. wParam is the SoundSource, lParam 0
// when it was missing at the start and 1 when it was lost while recording;
// Recorder::SoundProblems() has the words.
inline constexpr unsigned WMU_RECORD_SOUND_LOST = kWmUser + 822;
enum SoundSource : std::uintptr_t { kSoundMicrophone = 1, kSoundSystem = 2 };

// Counters of the running or last session, for statistics lines.
struct RecorderStats {
  std::int64_t picturesGrabbed = 0;
  std::int64_t picturesDropped = 0;
  std::int64_t picturesEncoded = 0;
  std::int64_t audioFramesEncoded = 0;
  std::int64_t firstPictureMicros = -1;  // from the first Run to the first grab
  int packetQueueDepth = 0;
  int videoFifoDepth = 0;
};

}  // namespace kal
