#include "recorder/Recorder.h"

#include <glog/logging.h>

#include "media/CaptureDevices.h"
#include "recorder/Trace.h"

namespace kal {

// The finaliser re-checks its event at least this often.
constexpr std::chrono::milliseconds kFinishWait{400};

Recorder::Recorder(MessagePoster* owner, std::chrono::milliseconds finishDelay)
    : owner_(owner), finishDelay_(finishDelay) {
  RegisterCaptureDevices();
}

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
  ++sessionNumber_;
  state_ = kIdle;
  {
    std::lock_guard<std::mutex> lock(sessionLock_);
    lastStats_ = RecorderStats{};
  }
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    failure_.clear();
    notices_.clear();
  }
  const SessionSettings settings = ReadSessionSettings();
  // AVI keeps one picture per interval.
  const bool pictureTimes = settings.frameRateMode == 1 && settings.videoSource == VideoSource::kScreen &&
                            extension != "avi" && extension != "AVI";
  StageListener* listener = this;
  auto session = std::make_unique<kal::Session>(settings, frameRate, pictureTimes, listener, &faults_);
  const std::string path = folder + "/" + fileName;
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    filePath_ = path;
  }
  const int ret = Setup(*session, path, extension, quality);
  width_ = session->State().width;
  height_ = session->State().height;
  frameRate_ = session->State().frameRate;
  if (ret != 0) return ret;  // the session goes, and with it what it set up
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    finishSignalled_ = false;
    finished_ = false;
  }
  // In place before its stages run: one that fails at once stops it
  // through Stop, which must find it.
  kal::Session* launched = session.get();
  {
    std::lock_guard<std::mutex> lock(sessionLock_);
    session_ = std::move(session);
  }
  launched->Launch();
  finisher_ = std::thread(&Recorder::FinishThread, this);
  return 0;
}

int Recorder::Setup(kal::Session& session, const std::string& path, const std::string& extension,
                    int quality) {
  int ret = session.SetupVideo(camera_);
  if (ret != 0) {
    LOG(ERROR) << "视频参数初始化失败";
    return ret;
  }
  if (session.OpenFile(path, extension, quality) != 0) return -1;
  ret = session.SetupSound();
  if (ret != 0) {
    LOG(ERROR) << "音频参数初始化失败";
    session.DiscardFile();
  }
  return ret;
}

int Recorder::Run() {
  state_ = kRecording;
  std::lock_guard<std::mutex> lock(sessionLock_);
  if (session_) session_->Run();
  return 0;
}

int Recorder::Pause() {
  state_ = kPaused;
  std::lock_guard<std::mutex> lock(sessionLock_);
  if (session_) session_->Pause();
  return 0;
}

int Recorder::Stop() {
  state_ = kStopped;
  {
    std::lock_guard<std::mutex> lock(sessionLock_);
    if (session_) session_->Abort();
  }
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
  std::this_thread::sleep_for(finishDelay_);
  // Only this thread frees the session, so it stays while the stages end
  // (a stage's failure still reaches it through Stop).
  kal::Session* live = nullptr;
  {
    std::lock_guard<std::mutex> lock(sessionLock_);
    live = session_.get();
  }
  std::string path;
  const std::string problem = live->Finish(&path);
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    filePath_ = path;
  }
  std::unique_ptr<kal::Session> done;
  {
    std::lock_guard<std::mutex> lock(sessionLock_);
    lastStats_ = session_->Stats();
    done = std::move(session_);
  }
  done.reset();  // closes the file and frees the queues' buffers
  if (!problem.empty()) SetFailure(kFailureFinish, "the file could not be finished: " + problem);
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    finished_ = true;
  }
  finishCond_.notify_all();
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
  std::lock_guard<std::mutex> lock(sessionLock_);
  return session_ ? session_->Stats() : lastStats_;
}

}  // namespace kal
