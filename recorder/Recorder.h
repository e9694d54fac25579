#pragma once
// The recording engine. One object lives as long as its owner; each
// recording is one Session: Start makes it, Run makes it capture, Pause
// holds it, Run resumes it and Stop ends it. A finaliser thread completes the
// file (trailer) after Stop and then frees the session.
//
// Start, Run, Pause, Stop and WaitFinished are called on the owner's thread.
// The engine reports to the owner through MessagePoster (the recorded
// seconds, failures, lost sound) and its state.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recorder/RecorderTypes.h"
#include "recorder/Session.h"
#include "recorder/SessionState.h"

namespace kal {

// How long after the stop the finaliser completes the file; it also waits
// for every stage to have ended by then.
constexpr std::chrono::milliseconds kFinishDelay{800};

class Recorder : private StageListener {
 public:
  // `finishDelay`: tests that record many short sessions need not wait.
  explicit Recorder(MessagePoster* owner, std::chrono::milliseconds finishDelay = kFinishDelay);
  // Stops a running session and waits for its file to be completed.
  ~Recorder() override;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Sets up a session writing `folder`/`fileName` (UTF-8; the container
  // follows the name's extension). Returns 0, ERR_NO_VIDEO_DEVICE,
  // ERR_CAMERA_BUSY, ERR_NO_AUDIO_DEVICE, -1, or a negative FFmpeg code from the header.
  // Refuses (-1) while the previous session's file is still being completed.
  // On failure nothing of the session is left, the file included.
  int Start(const std::string& fileName, const std::string& folder, const std::string& extension,
            int frameRate, int quality);
  int Run();
  int Pause();
  // Returns at once; the file is complete when WaitFinished returns true.
  int Stop();

  int State() const { return state_.load(); }
  // Number of the last started session, 1 for the first; the recorded
  // seconds carry it so that the owner can drop stale ones.
  int Session() const { return sessionNumber_; }
  // Waits until the last session's file is complete. True at once when no
  // session is being completed.
  bool WaitFinished(std::chrono::milliseconds timeout);

  // Why the last session ended by itself, or why its file could not be
  // finished (empty when neither happened). Any thread.
  std::string Failure() const;

  // What changed in the session's sources that the user should know (a
  // sound source missing, lost or back, the camera lost), one line each in
  // the order it happened; empty when nothing did. Any thread.
  std::vector<std::string> Notices() const;

  // Full path of the session's file (after Start). Once WaitFinished is
  // true, where the recording really is: the unfinished ".part" file when
  // it could not be completed.
  std::string FilePath() const;
  // Of the last started session.
  int VideoWidth() const { return width_; }
  int VideoHeight() const { return height_; }
  int FrameRate() const { return frameRate_; }
  // Of the session being recorded, or of the last one once it is finished.
  // Any thread.
  RecorderStats Stats() const;

  // Tests: the encoder takes no turns while held, as if the disk or the
  // encoder had stalled.
  void HoldEncoderForTesting(bool hold) { faults_.encoderHeld = hold; }
  // Tests: every n-th screen grab fails (0: none).
  void FailGrabsForTesting(int every) { faults_.grabFailsEvery = every; }
  // Tests: the converter meets pictures it cannot convert from now on.
  void FailConversionForTesting() { faults_.conversionFails = true; }
  // Tests: record from this FFmpeg input instead of the first camera
  // (for example "lavfi" with "testsrc=size=640x480:rate=15").
  void SetCameraInputForTesting(const std::string& format, const std::string& url) {
    camera_ = CameraInput{format, url};
  }

 private:
  int Setup(kal::Session& session, const std::string& path, const std::string& extension, int quality);
  void FinishThread();

  // How the stages report.
  void StageFailed(RecordFailure kind, const std::string& why) override;
  void SoundSourceLost(SoundSource source, const std::string& why, bool whileRecording) override;
  void SoundSourceBack(SoundSource source, const std::string& why) override;
  void CameraLost(const std::string& why) override;
  void AddNotice(const std::string& line);
  void SecondsWritten(std::int64_t seconds) override;
  void SetFailure(RecordFailure kind, const std::string& text);
  void TellFailure(RecordFailure kind, const std::string& text);

  MessagePoster* owner_;
  const std::chrono::milliseconds finishDelay_;
  std::atomic<int> state_{kIdle};
  int sessionNumber_ = 0;
  std::int64_t lastSecondsPosted_ = 0;  // kept across sessions
  int width_ = 0;
  int height_ = 0;
  int frameRate_ = 0;
  CameraInput camera_;
  TestFaults faults_;

  // The session being recorded or finished; the finaliser frees it, after
  // keeping its last counts. Read by the stages' reports (Stop) and Stats
  // on any thread, so taken and freed under the lock.
  mutable std::mutex sessionLock_;
  std::unique_ptr<kal::Session> session_;
  RecorderStats lastStats_;

  mutable std::mutex failureLock_;
  std::string failure_;
  std::vector<std::string> notices_;  // under failureLock_

  // Finish event and completion of the session's file.
  mutable std::mutex finishLock_;
  std::condition_variable finishCond_;
  bool finishSignalled_ = false;
  bool finished_ = true;
  std::string filePath_;  // under finishLock_
  std::thread finisher_;
};

}  // namespace kal
