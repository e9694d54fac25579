#include "recorder/Session.h"

#include <algorithm>

#include <glog/logging.h>

extern "C" {
#include <libavutil/time.h>
}

#include "config/ConfigKeys.h"
#include "platform/X11Screen.h"
#include "recorder/SoundChoice.h"

namespace kal {

Session::Session(const SessionSettings& settings, int frameRate, bool pictureTimes,
                 StageListener* listener, const TestFaults* faults) {
  state_.settings = settings;
  // A hand-edited or damaged setting must not reach the encoder as 0 or
  // 100000 pictures a second.
  state_.frameRate = frameRate > 0 ? std::min(frameRate, cfg::kVideoFramerate.max) : 10;
  state_.pictureTimes = pictureTimes;
  state_.listener = listener;
  state_.faults = faults;
}

Session::~Session() {
  for (Stage* s : stages_) s->Join();
}

int Session::SetupVideo(const CameraInput& camera) {
  CodecContextPtr decoder;
  if (state_.settings.videoSource == VideoSource::kCamera) {
    camera_ = std::make_unique<CameraSource>(state_, packets_);
    stages_.push_back(camera_.get());
    const int ret = camera_->Setup(camera.format, camera.url);
    if (ret != 0) return ret;
    decoder = camera_->TakeDecoder();
  } else {
    const ::platform::ScreenSize screen = ::platform::QueryScreenSize();
    if (screen.width <= 0 || screen.height <= 0) {
      LOG(ERROR) << "no X display to record";
      return -1;
    }
    screen_ = std::make_unique<ScreenSource>(state_, packets_);
    stages_.push_back(screen_.get());
    if (screen_->Setup(screen.width, screen.height) != 0) return -1;
    decoder = screen_->MakeDecoder();
  }
  LOG(INFO) << "videoWidth:" << state_.width;
  LOG(INFO) << "videoHeight:" << state_.height;
  converter_ = std::make_unique<ConvertStage>(state_, packets_, pictures_);
  return converter_->Setup(std::move(decoder));
}

int Session::OpenFile(const std::string& path, const std::string& extension, int quality) {
  file_ = std::make_unique<OutputFile>(state_);
  return file_->Open(path, extension, converter_->Decoder()->bit_rate, quality);
}

int Session::SetupSound() {
  state_.muted = ChooseSoundSources(state_.settings, [this](SoundSource s, const std::string& why) {
    state_.listener->SoundSourceLost(s, why, false);
  });
  const VoiceSource v = state_.settings.voiceSource;
  if (!state_.muted && WantsMicrophone(v)) {
    microphone_ = std::make_unique<MicrophoneSource>(state_, microphoneSound_);
    stages_.push_back(microphone_.get());
    const int ret = microphone_->Setup();
    if (ret != 0) return ret;
  }
  if (!state_.muted && WantsSystemSound(v)) {
    systemSource_ = std::make_unique<SystemSoundSource>(state_, systemSound_);
    stages_.push_back(systemSource_.get());
    if (!systemSource_->Setup()) return -1;
  }
  if (file_->Begin() != 0) return -1;
  sound_ = std::make_unique<SoundInput>(state_, microphoneSound_, systemSound_);
  if (sound_->Setup(file_->AudioEncoder()) != 0) {
    LOG(ERROR) << "混音参数初始化失败";
    return -1;
  }
  encoder_ = std::make_unique<EncodeStage>(state_, pictures_, *sound_, *file_);
  stages_.push_back(converter_.get());
  stages_.push_back(encoder_.get());
  return 0;
}

void Session::DiscardFile() {
  if (file_) file_->Discard();
}

void Session::Launch() {
  for (Stage* s : stages_) s->Launch();
}

void Session::Run() {
  std::int64_t unset = 0;
  state_.counters.firstRunAt.compare_exchange_strong(unset, av_gettime_relative());
  state_.sync.Run(Synchroniser::Clock::now());
  state_.gate.Open();
}

void Session::Pause() {
  state_.sync.Pause(Synchroniser::Clock::now());
  state_.gate.Shut();
}

void Session::Abort() {
  // The running time ends at the stop: a picture or sound a source takes
  // while it notices the stop is not placed after it.
  state_.sync.Pause(Synchroniser::Clock::now());
  state_.gate.Abort();
  packets_.Abort();
  pictures_.Abort();
  microphoneSound_.Abort();
  systemSound_.Abort();
}

std::string Session::Finish(std::string* path) {
  for (Stage* s : stages_) s->Join();
  const std::string problem = file_->Finish();
  *path = file_->Path();
  return problem;
}

RecorderStats Session::Stats() const {
  const SessionCounters& c = state_.counters;
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
