#pragma once
// Types the engine shares with its owners (the main window, kalrec, tests).

#include <cstdint>

namespace kal {

// Result codes of Recorder::Start besides 0 (success), -1 and negative
// FFmpeg codes.
inline constexpr int ERR_NO_VIDEO_DEVICE = 500001;
inline constexpr int ERR_NO_AUDIO_DEVICE = 500002;
// The camera is held by this program's camera preview.
inline constexpr int ERR_CAMERA_BUSY = 500003;

enum RecorderState : int { kIdle = 0, kRecording = 1, kPaused = 2, kStopped = 3 };

// Why a recording ended by itself (its file could not be written, or one of
// its workers failed), or that its file could not be finished after the
// stop (kFailureFinish: the recording is left as the ".part" file).
// Recorder::Failure() has the words.
enum RecordFailure : std::uintptr_t {
  kFailureDiskFull = 1,
  kFailureWriteError = 2,
  kFailureFinish = 3,
  kFailureInternal = 4
};

// A sound source of the session.
enum SoundSource : std::uintptr_t { kSoundMicrophone = 1, kSoundSystem = 2 };

// How the engine tells its owner something (the main window turns each into
// a posted window message, kalrec into a line). Every call may come from any
// engine thread and must not block.
class MessagePoster {
 public:
  virtual ~MessagePoster() = default;
  // Whole seconds of video written so far in session `session`
  // (Recorder::Session), each time the number changes.
  virtual void RecordedSeconds(int session, std::int64_t seconds) {}
  // The recording failed as `kind` says.
  virtual void RecordingFailed(RecordFailure kind) {}
  // A wanted sound source is missing (at the start) or lost (while
  // recording); the recording goes on with silence in its place.
  // Recorder::Notices() has the words.
  virtual void SoundLost(SoundSource source, bool whileRecording) {}
  // A source lost while recording delivers sound again; it is in the
  // recording from here on.
  virtual void SoundBack(SoundSource source) {}
  // The camera delivers no more pictures; the recording goes on with its
  // last picture (and its sound).
  virtual void CameraLost() {}
};

// Counters of the running or last session, for statistics lines.
struct RecorderStats {
  std::int64_t picturesGrabbed = 0;
  std::int64_t picturesDropped = 0;
  std::int64_t picturesRepeated = 0;  // of those grabbed: the last picture again (still screen, failed grab)
  std::int64_t picturesEncoded = 0;
  std::int64_t audioFramesEncoded = 0;
  std::int64_t firstPictureMicros = -1;  // from the first Run to the first grab
  int packetQueueDepth = 0;
  int videoFifoDepth = 0;
};

}  // namespace kal
