#include "recorder/Recorder.h"

#include <algorithm>

#include <glog/logging.h>

extern "C" {
#include <libavutil/time.h>
}

#include "config/ConfigKeys.h"
#include "platform/X11Screen.h"
#include "media/CaptureDevices.h"
#include "recorder/SoundChoice.h"
#include "recorder/Trace.h"

namespace kal {

// The finaliser completes the file this long after the stop; the stages
// have been told to end by then, and it also waits for them to have ended.
constexpr std::chrono::milliseconds kFinishDelay{800};
// The finaliser re-checks its event at least this often.
constexpr std::chrono::milliseconds kFinishWait{400};

Recorder::Recorder(MessagePoster* owner) : owner_(owner) { RegisterCaptureDevices(); }

Recorder::~Recorder() {
  bool live = false;
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    live = !finished_;
  }
  // Also a session that was started but never run: its stages wait for
  // Run or Stop, and the finaliser waits for them.
  if (live) Stop();
  if (finisher_.joinable()) finisher_.join();
}

void Recorder::ResetSession(int frameRate) {
  session_.gate.Reset();
  session_.sync.Reset();
  session_.counters.Reset();
  session_.muted = false;
  session_.pictureTimes = false;
  session_.listener = this;
  // A hand-edited or damaged setting must not reach the encoder as 0 or
  // 100000 pictures a second.
  session_.frameRate = frameRate > 0 ? std::min(frameRate, cfg::kVideoFramerate.max) : 10;
  session_.width = session_.height = 0;
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    failure_.clear();
    notices_.clear();
  }
  packets_.Reset();
  state_ = kIdle;
}

int Recorder::Start(const std::string& fileName, const std::string& folder,
                    const std::string& extension, int frameRate, int quality) {
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    if (!finished_) {
      LOG(ERROR) << "Start refused: the previous recording is still being finished";
      return -1;
    }
  }
  if (finisher_.joinable()) finisher_.join();
  ResetSession(frameRate);
  ++sessionNumber_;
  session_.settings = ReadSessionSettings();
  // AVI keeps one picture per interval.
  session_.pictureTimes = session_.settings.frameRateMode == 1 &&
                          session_.settings.videoSource == VideoSource::kScreen &&
                          extension != "avi" && extension != "AVI";
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    filePath_ = folder + "/" + fileName;
  }

  int ret = SetupVideo();
  if (ret != 0) {
    LOG(ERROR) << "视频参数初始化失败";
    Release();
    return ret;
  }
  file_ = std::make_unique<OutputFile>(session_);
  if (file_->Open(FilePath(), extension, converter_->Decoder()->bit_rate, quality) != 0) {
    Release();
    return -1;
  }
  session_.muted = ChooseSoundSources(session_.settings, [this](SoundSource s, const std::string& why) {
    SoundSourceLost(s, why, false);
  });
  ret = SetupSound();
  if (ret != 0) {
    LOG(ERROR) << "音频参数初始化失败";
  } else if (sound_->Setup(file_->AudioEncoder()) != 0) {
    LOG(ERROR) << "混音参数初始化失败";
    ret = -1;
  }
  if (ret != 0) {
    file_->Discard();
    Release();
    return ret;
  }
  Launch();
  return 0;
}

// The picture source and the converter behind it.
int Recorder::SetupVideo() {
  CodecContextPtr decoder;
  if (session_.settings.videoSource == VideoSource::kCamera) {
    camera_ = std::make_unique<CameraSource>(session_, packets_);
    const int ret = camera_->Setup(cameraFormatOverride_, cameraUrlOverride_);
    if (ret != 0) return ret;
    decoder = camera_->TakeDecoder();
  } else {
    const ::platform::ScreenSize screen = ::platform::QueryScreenSize();
    if (screen.width <= 0 || screen.height <= 0) {
      LOG(ERROR) << "no X display to record";
      return -1;
    }
    screen_ = std::make_unique<ScreenSource>(session_, packets_);
    if (screen_->Setup(screen.width, screen.height) != 0) return -1;
    decoder = screen_->MakeDecoder();
  }
  LOG(INFO) << "videoWidth:" << session_.width;
  LOG(INFO) << "videoHeight:" << session_.height;
  converter_ = std::make_unique<ConvertStage>(session_, packets_, pictures_);
  return converter_->Setup(std::move(decoder));
}

// The sound sources, the file's header, and the encoder that joins them.
int Recorder::SetupSound() {
  const VoiceSource v = session_.settings.voiceSource;
  if (!session_.muted && WantsMicrophone(v)) {
    microphone_ = std::make_unique<MicrophoneSource>(session_, microphoneSound_);
    const int ret = microphone_->Setup();
    if (ret != 0) return ret;
  }
  if (!session_.muted && WantsSystemSound(v)) {
    systemSource_ = std::make_unique<SystemSoundSource>(session_, systemSound_);
    if (!systemSource_->Setup()) return -1;
  }
  if (file_->Begin() != 0) return -1;
  sound_ = std::make_unique<SoundInput>(session_, microphoneSound_, systemSound_);
  encoder_ = std::make_unique<EncodeStage>(session_, pictures_, *sound_, *file_);
  return 0;
}

// In the order they were set up: sources first, the encoder last.
std::vector<Stage*> Recorder::Stages() const {
  std::vector<Stage*> stages;
  for (Stage* s : {static_cast<Stage*>(screen_.get()), static_cast<Stage*>(camera_.get()),
                   static_cast<Stage*>(microphone_.get()), static_cast<Stage*>(systemSource_.get()),
                   static_cast<Stage*>(converter_.get()), static_cast<Stage*>(encoder_.get())}) {
    if (s) stages.push_back(s);
  }
  return stages;
}

void Recorder::Launch() {
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    finishSignalled_ = false;
    finished_ = false;
  }
  for (Stage* s : Stages()) s->Launch();
  finisher_ = std::thread(&Recorder::FinishThread, this);
}

int Recorder::Run() {
  state_ = kRecording;
  std::int64_t unset = 0;
  session_.counters.firstRunAt.compare_exchange_strong(unset, av_gettime_relative());
  session_.sync.Run(Synchroniser::Clock::now());
  session_.gate.Open();
  return 0;
}

int Recorder::Pause() {
  state_ = kPaused;
  session_.sync.Pause(Synchroniser::Clock::now());
  session_.gate.Shut();
  return 0;
}

int Recorder::Stop() {
  state_ = kStopped;
  // One abort per queue: each wakes whoever waits at it, and the stages end
  // on their own, draining what was captured before the stop.
  session_.gate.Abort();
  packets_.Abort();
  pictures_.Abort();
  microphoneSound_.Abort();
  systemSound_.Abort();
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    finishSignalled_ = true;
  }
  finishCond_.notify_all();
  return 0;
}

bool Recorder::WaitFinished(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(finishLock_);
  return finishCond_.wait_for(lock, timeout, [this] { return finished_; });
}

void Recorder::FinishThread() {
  {
    std::unique_lock<std::mutex> lock(finishLock_);
    while (!finishSignalled_) finishCond_.wait_for(lock, kFinishWait);
  }
  Trace(" WaitForMultipleObjects exit\n");
  std::this_thread::sleep_for(kFinishDelay);
  // Nothing is freed while a stage could still touch it.
  for (Stage* s : Stages()) s->Join();
  const std::string problem = file_->Finish();
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    filePath_ = file_->Path();
  }
  Release();
  if (!problem.empty()) SetFailure(kFailureFinish, "the file could not be finished: " + problem);
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    finished_ = true;
  }
  finishCond_.notify_all();
}

// Frees the stages (each joins its thread) and the queues' buffers, the
// encoders' hold on the picture slots first.
void Recorder::Release() {
  encoder_.reset();
  sound_.reset();
  file_.reset();  // closes the file
  converter_.reset();
  systemSource_.reset();
  microphone_.reset();
  camera_.reset();
  screen_.reset();
  pictures_.Free();
  microphoneSound_.Free();
  systemSound_.Free();
  packets_.Reset();
}

std::string Recorder::FilePath() const {
  std::lock_guard<std::mutex> lock(finishLock_);
  return filePath_;
}

std::string Recorder::Failure() const {
  std::lock_guard<std::mutex> lock(failureLock_);
  return failure_;
}

// The first failure is what went wrong; what the stop does to the others
// after it is its consequence, not news.
void Recorder::StageFailed(RecordFailure kind, const std::string& why) {
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    if (!failure_.empty()) return;
    failure_ = why;
  }
  Stop();
  TellFailure(kind, why);
}

void Recorder::SetFailure(RecordFailure kind, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    failure_ = text;
  }
  TellFailure(kind, text);
}

void Recorder::TellFailure(RecordFailure kind, const std::string& text) {
  LOG(ERROR) << "recording failed: " << text;
  if (owner_) owner_->RecordingFailed(kind);
}

void Recorder::AddNotice(const std::string& line) {
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    notices_.push_back(line);
  }
  LOG(ERROR) << "source: " << line;
}

void Recorder::SoundSourceLost(SoundSource source, const std::string& why, bool whileRecording) {
  AddNotice(why);
  if (owner_) owner_->SoundLost(source, whileRecording);
}

void Recorder::SoundSourceBack(SoundSource source, const std::string& why) {
  AddNotice(why);
  if (owner_) owner_->SoundBack(source);
}

void Recorder::CameraLost(const std::string& why) {
  AddNotice(why);
  if (owner_) owner_->CameraLost();
}

std::vector<std::string> Recorder::Notices() const {
  std::lock_guard<std::mutex> lock(failureLock_);
  return notices_;
}

void Recorder::SecondsWritten(std::int64_t seconds) {
  if (seconds == lastSecondsPosted_) return;
  lastSecondsPosted_ = seconds;
  if (owner_) owner_->RecordedSeconds(sessionNumber_, seconds);
}

RecorderStats Recorder::Stats() const {
  const SessionCounters& c = session_.counters;
  RecorderStats s;
  s.picturesGrabbed = c.picturesGrabbed;
  s.picturesDropped = c.picturesDropped;
  s.picturesRepeated = c.picturesRepeated;
  s.picturesEncoded = c.picturesEncoded;
  s.audioFramesEncoded = c.audioFramesEncoded;
  s.firstPictureMicros = c.firstPictureMicros;
  s.packetQueueDepth = packets_.Size();
  s.videoFifoDepth = pictures_.Depth();
  return s;
}

}  // namespace kal
