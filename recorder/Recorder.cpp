#include "recorder/Recorder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <glog/logging.h>

extern "C" {
#include <libavutil/time.h>
}

#include "config/ConfigKeys.h"
#include "recorder/Recovery.h"
#include "recorder/Trace.h"

namespace kal {

// The finaliser completes the file this long after the stop; the workers
// have been told to end by then, and it also waits for them to have ended.
constexpr std::chrono::milliseconds kFinishDelay{800};
// Every gate wait re-checks the stop flag at least this often.
constexpr std::chrono::milliseconds kGateWait{400};

Recorder::Recorder(MessagePoster* owner) : owner_(owner) { RegisterCaptureDevices(); }

Recorder::~Recorder() {
  bool live = false;
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    live = !finished_;
  }
  // Also a session that was started but never run: its workers wait for
  // Run or Stop, and the finaliser waits for them.
  if (live) Stop();
  if (finisher_.joinable()) finisher_.join();
}

void Recorder::ResetSession() {
  frameIndex_ = 0;
  lastVideoPts_ = 0;
  lastAudioPts_ = 0;
  audioSamplesOut_ = 0;
  audioSamplesIn_ = 0;
  stopRequested_ = false;
  capturing_ = false;
  decodeDone_ = false;
  encodeDone_ = false;
  videoReady_ = false;
  micReady_ = false;
  speakerReady_ = false;
  audioReady_ = false;
  speakerActive_ = false;
  micDone_ = false;
  writeFailed_ = false;
  writeErrorsInARow_ = 0;
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    failure_.clear();
    soundProblems_.clear();
  }
  speakerDone_ = false;
  audioMuted_ = false;
  fileCreated_ = false;
  picturesGrabbed_ = 0;
  picturesDropped_ = 0;
  picturesRepeated_ = 0;
  picturesEncoded_ = 0;
  audioFramesEncoded_ = 0;
  firstRunAt_ = 0;
  firstPictureMicros_ = -1;
  packetQueue_.Reset();
  state_ = kIdle;
  const platform::ScreenSize screen = platform::QueryScreenSize();
  screenWidth_ = screen.width;
  screenHeight_ = screen.height;
  regionX_ = 0;
  regionY_ = 0;
  videoWidth_ = screenWidth_;
  videoHeight_ = screenHeight_;
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

  fileName_ = fileName;
  folder_ = folder;
  extension_ = extension;
  // A hand-edited or damaged setting must not reach the encoder as 0 or
  // 100000 pictures a second.
  frameRate_ = frameRate > 0 ? std::min(frameRate, cfg::kVideoFramerate.max) : 10;
  quality_ = quality;
  ResetSession();
  ++session_;
  settings_ = ReadSessionSettings();

  if (settings_.videoSource != VideoSource::kCamera && (screenWidth_ <= 0 || screenHeight_ <= 0)) {
    LOG(ERROR) << "no X display to record";
    LOG(ERROR) << "视频参数初始化失败";
    return -1;
  }
  int ret = settings_.videoSource == VideoSource::kCamera ? SetupCameraSource() : SetupScreenSource();
  if (ret != 0) {
    LOG(ERROR) << "视频参数初始化失败";
    FreeSession();
    return ret;
  }
  // A watermark that cannot be drawn fails the start rather than leaving
  // the decode thread without its graph.
  if (settings_.watermark != WatermarkKind::kNone && BuildWatermarkGraph(videoDecoder_->pix_fmt) != 0) {
    FreeSession();
    return -1;
  }
  if (SetupOutput() != 0) {
    FreeSession();
    return -1;
  }
  SourceCheck();
  ret = AudioSetup();
  if (ret != 0) {
    LOG(ERROR) << "音频参数初始化失败";
    FreeSession();
    DiscardFile();
    return ret;
  }
  if (audioMuted_) audioReady_ = true;
  if (!audioMuted_ && settings_.voiceSource == VoiceSource::kBoth && BuildMixGraph() != 0) {
    LOG(ERROR) << "混音参数初始化失败";
    FreeSession();
    DiscardFile();
    return -1;
  }
  StartThreads();
  return 0;
}

void Recorder::StartThreads() {
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    finishSignalled_ = false;
    finished_ = false;
  }
  workers_.clear();
  const bool camera = settings_.videoSource == VideoSource::kCamera;
  workers_.emplace_back(&Recorder::Worker, this, camera ? "camera" : "screen",
                        camera ? &Recorder::CameraReadThread : &Recorder::ScreenReadThread,
                        &Recorder::ReaderEnded);
  if (!audioMuted_ && WantsMicrophone(settings_.voiceSource))
    workers_.emplace_back(&Recorder::Worker, this, "microphone", &Recorder::MicrophoneCapture,
                          &Recorder::MicrophoneEnded);
  if (!audioMuted_ && WantsSystemSound(settings_.voiceSource))
    workers_.emplace_back(&Recorder::Worker, this, "system sound", &Recorder::SpeakerCapture,
                          &Recorder::SpeakerEnded);
  workers_.emplace_back(&Recorder::Worker, this, "picture converter", &Recorder::VideoDecodeThread,
                        &Recorder::DecodeEnded);
  workers_.emplace_back(&Recorder::Worker, this, "encoder", &Recorder::EncodeThread,
                        &Recorder::EncodeEnded);
  finisher_ = std::thread(&Recorder::FinishThread, this);
}

// What a worker throws ends it as its own end would (`ended` sets what the
// others wait for), stops the recording and is reported, instead of ending
// the process.
void Recorder::Worker(const char* name, void (Recorder::*body)(), void (Recorder::*ended)()) {
  std::string what;
  try {
    (this->*body)();
    return;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown error";
  }
  (this->*ended)();
  Stop();
  SetFailure(kFailureInternal, std::string("the ") + name + " failed: " + what);
}

void Recorder::ReaderEnded() { packetQueue_.Finish(); }

void Recorder::MicrophoneEnded() {
  micDone_ = true;
  micFifoCond_.notify_all();
}

void Recorder::SpeakerEnded() { speakerDone_ = true; }

void Recorder::DecodeEnded() {
  decodeDone_ = true;
  videoFifo_.Cond().notify_all();
}

void Recorder::EncodeEnded() {
  encodeDone_ = true;
  videoFifo_.Cond().notify_all();
}

int Recorder::Run() {
  state_ = kRecording;
  std::int64_t unset = 0;
  firstRunAt_.compare_exchange_strong(unset, av_gettime_relative());
  {
    std::lock_guard<std::mutex> read(readGateLock_);
    std::lock_guard<std::mutex> encode(encodeGateLock_);
    capturing_ = true;
  }
  readGateCond_.notify_all();
  encodeGateCond_.notify_all();
  return 0;
}

int Recorder::Pause() {
  state_ = kPaused;
  capturing_ = false;
  return 0;
}

int Recorder::Stop() {
  state_ = kStopped;
  capturing_ = false;
  stopRequested_ = true;
  speakerActive_ = false;
  // Taking each lock before waking makes sure no waiter misses the flag.
  { std::lock_guard<std::mutex> l(readGateLock_); }
  readGateCond_.notify_all();
  { std::lock_guard<std::mutex> l(encodeGateLock_); }
  encodeGateCond_.notify_all();
  { std::lock_guard<std::mutex> l(videoFifo_.Lock()); }
  videoFifo_.Cond().notify_all();
  { std::lock_guard<std::mutex> l(micFifoLock_); }
  micFifoCond_.notify_all();
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
    while (!finishSignalled_) finishCond_.wait_for(lock, kGateWait);
  }
  Trace(" WaitForMultipleObjects exit\n");
  std::this_thread::sleep_for(kFinishDelay);
  // Nothing is freed while a worker could still touch it.
  for (std::thread& t : workers_) {
    if (t.joinable()) t.join();
  }
  workers_.clear();
  std::string problem;
  if (output_) {
    const int ret = av_write_trailer(output_.get());
    if (ret < 0) {
      LOG(ERROR) << "av_write_trailer error";
      if (!writeFailed_) problem = "its end could not be written: " + AvError(ret);
    }
  }
  FreeSession();  // closes the file
  if (fileCreated_) {
    if (::rename(PartPath().c_str(), fileName_.c_str()) != 0) {
      const int err = errno;
      LOG(ERROR) << "cannot rename " << PartPath() << " to " << fileName_;
      if (problem.empty()) problem = "it could not be renamed to " + fileName_ + ": " + std::strerror(err);
      fileName_ = PartPath();  // where the recording is
    }
    partLock_.Release();
  }
  if (!problem.empty()) SetFailure(kFailureFinish, "the file could not be finished: " + problem);
  {
    std::lock_guard<std::mutex> lock(finishLock_);
    finished_ = true;
  }
  finishCond_.notify_all();
}

void Recorder::FreeSession() {
  videoDecoder_.reset();
  videoEncoder_.reset();
  audioEncoder_.reset();
  output_.reset();  // closes the file
  videoStream_ = nullptr;
  audioStream_ = nullptr;
  videoFifo_.Free();
  lastSlot_ = nullptr;
  converter_ = PictureConverter();
  {
    std::lock_guard<std::mutex> lock(micFifoLock_);
    micFifo_.reset();
  }
  {
    std::lock_guard<std::mutex> lock(speakerFifoLock_);
    speakerFifo_.reset();
  }
  micResampler_.reset();
  micDevices_.clear();
  mixGraph_.reset();  // frees its filters
  watermarkGraph_.reset();
  watermarkSource_ = watermarkSink_ = nullptr;
  watermarkFormat_ = AV_PIX_FMT_NONE;
  videoInput_.reset();
  mixSpeaker_ = mixMic_ = mixSink_ = nullptr;
  packetQueue_.Reset();
  grabber_.Release();
}

std::string Recorder::PartPath() const { return fileName_ + kPartSuffix; }

void Recorder::DiscardFile() {
  if (fileCreated_) ::unlink(PartPath().c_str());
  fileCreated_ = false;
  partLock_.Release();
}

std::string Recorder::FilePath() const { return fileName_; }

std::string Recorder::Failure() const {
  std::lock_guard<std::mutex> lock(failureLock_);
  return failure_;
}

// A file that cannot be written any more (disk full, folder removed) ends
// the recording: what was written stays playable, and the owner is told.
void Recorder::NoteWriteResult(int ret) {
  constexpr int kWriteErrorsUntilStop = 5;
  if (ret >= 0) {
    writeErrorsInARow_ = 0;
    return;
  }
  if (++writeErrorsInARow_ < kWriteErrorsUntilStop || writeFailed_) return;
  const RecordFailure kind = ret == AVERROR(ENOSPC) ? kFailureDiskFull : kFailureWriteError;
  writeFailed_ = true;
  Stop();
  SetFailure(kind, kind == kFailureDiskFull ? "the disk is full"
                                            : "the file cannot be written: " + AvError(ret));
}

void Recorder::SetFailure(RecordFailure kind, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    failure_ = text;
  }
  LOG(ERROR) << "recording failed: " << text;
  if (owner_) owner_->RecordingFailed(kind);
}

void Recorder::ReportSoundLost(SoundSource source, const std::string& why, bool whileRecording) {
  {
    std::lock_guard<std::mutex> lock(failureLock_);
    soundProblems_.push_back(why);
  }
  LOG(ERROR) << "sound: " << why << (whileRecording ? "; recording on with silence" : "");
  if (owner_) owner_->SoundLost(source, whileRecording);
}

std::vector<std::string> Recorder::SoundProblems() const {
  std::lock_guard<std::mutex> lock(failureLock_);
  return soundProblems_;
}

RecorderStats Recorder::Stats() const {
  RecorderStats s;
  s.picturesGrabbed = picturesGrabbed_;
  s.picturesDropped = picturesDropped_;
  s.picturesRepeated = picturesRepeated_;
  s.picturesEncoded = picturesEncoded_;
  s.audioFramesEncoded = audioFramesEncoded_;
  s.firstPictureMicros = firstPictureMicros_;
  s.packetQueueDepth = packetQueue_.Size();
  s.videoFifoDepth = videoFifo_.Depth();
  return s;
}

}  // namespace kal
