#pragma once
// One recording: what its stages share, the queues between them, the
// stages and the file. The Recorder makes one at Start and frees it once
// the file is complete, so nothing of one recording is left for the next.
//
//   ScreenSource | CameraSource --packets_--> ConvertStage --pictures_--+
//   MicrophoneSource --------------microphoneSound_--------------------+--> EncodeStage -> OutputFile
//   SystemSoundSource -------------systemSound_------------------------+
//
// Set-up, Launch, Run and Pause are called on the owner's thread, Abort on
// any, Finish on the finaliser's.

#include <memory>
#include <string>
#include <vector>

#include "media/PacketQueue.h"
#include "recorder/CameraSource.h"
#include "recorder/ConvertStage.h"
#include "recorder/EncodeStage.h"
#include "recorder/MicrophoneSource.h"
#include "recorder/OutputFile.h"
#include "recorder/RecorderTypes.h"
#include "recorder/ScreenSource.h"
#include "recorder/SessionState.h"
#include "recorder/SoundFifo.h"
#include "recorder/SoundInput.h"
#include "recorder/SystemSoundSource.h"
#include "recorder/VideoFifo.h"

namespace kal {

// Where a camera recording reads from instead of the first camera (tests:
// "lavfi" with "testsrc=..."); empty: the camera.
struct CameraInput {
  std::string format;
  std::string url;
};

class Session {
 public:
  // `frameRate` as asked for; a damaged setting is brought into range.
  Session(const SessionSettings& settings, int frameRate, bool pictureTimes,
          StageListener* listener, const TestFaults* faults);
  // Joins every stage's thread before anything of the session goes.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The picture source and its converter. 0, ERR_NO_VIDEO_DEVICE,
  // ERR_CAMERA_BUSY or -1.
  int SetupVideo(const CameraInput& camera);
  // The file at `path`, its header not yet written. 0 or -1.
  int OpenFile(const std::string& path, const std::string& extension, int quality);
  // The sound sources the settings ask for and the system has (a missing
  // one is told to the listener), the header, the mixer and the encoder. 0,
  // ERR_NO_AUDIO_DEVICE, -1 or a negative FFmpeg code.
  int SetupSound();
  // A start that failed after OpenFile: the file goes with the session.
  void DiscardFile();
  void Launch();

  void Run();
  void Pause();
  // The stop: one abort per queue wakes whoever waits at it, and the
  // stages end on their own, draining what was captured before it.
  void Abort();
  // Waits for every stage to end, then completes the file. Returns why it
  // could not be completed (empty when it was); `path` receives where the
  // recording is.
  std::string Finish(std::string* path);

  const SessionState& State() const { return state_; }
  RecorderStats Stats() const;

 private:
  SessionState state_;
  // Declared in the order they are set up; they go in the reverse one, the
  // encoder's hold on the picture slots first and the queues last.
  PacketQueue packets_{kStageQueueBound};
  VideoFifo pictures_;
  SoundFifo microphoneSound_;
  SoundFifo systemSound_;
  std::unique_ptr<ScreenSource> screen_;
  std::unique_ptr<CameraSource> camera_;
  std::unique_ptr<MicrophoneSource> microphone_;
  std::unique_ptr<SystemSoundSource> systemSource_;
  std::unique_ptr<ConvertStage> converter_;
  std::unique_ptr<OutputFile> file_;
  std::unique_ptr<SoundInput> sound_;
  std::unique_ptr<EncodeStage> encoder_;
  std::vector<Stage*> stages_;  // in the order they were set up
};

}  // namespace kal
