#include "recorder/SystemSoundSource.h"

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <glog/logging.h>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/PulseCapture.h"
#include "recorder/Trace.h"

namespace kal {

constexpr int kTargetRate = 44100;
constexpr int kStagingFrames = 22050;  // about half a second
// After this many empty 10 ms polls system sound counts as silent.
constexpr int kEmptyPollsUntilSilent = 100;
constexpr std::chrono::milliseconds kPollInterval{10};
// A monitor the sound server dropped is asked for again this often, each
// time waiting no longer than this.
constexpr std::chrono::milliseconds kRetry{1000};
constexpr int kReopenTimeoutMs = 300;

// Collects the device's interleaved 32-bit sound in a staging block and
// converts each full block into the FIFO.
class SystemSoundSource::Converter {
 public:
  Converter(int channels, int rate, int blockAlign, SoundFifo& out)
      : blockAlign_(blockAlign), out_(out),
        staging_(static_cast<size_t>(kStagingFrames) * blockAlign) {
    AVChannelLayout in;
    av_channel_layout_default(&in, channels);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* raw = nullptr;
    const int alloc = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_FLTP, kTargetRate, &in,
                                          AV_SAMPLE_FMT_S32, rate, 0, nullptr);
    swr_.reset(raw);
    av_channel_layout_uninit(&in);
    if (alloc < 0 || !swr_ || swr_init(swr_.get()) < 0) {
      LOG(ERROR) << "Could not set up the system sound's resampler";
      swr_.reset();
      return;
    }
    converted_ = MakeFrame();
    converted_->format = AV_SAMPLE_FMT_FLTP;
    converted_->nb_samples = static_cast<int>(av_rescale_rnd(
        swr_get_delay(swr_.get(), rate) + kStagingFrames, kTargetRate, rate, AV_ROUND_UP));
    av_channel_layout_copy(&converted_->ch_layout, &stereo);
    if (av_frame_get_buffer(converted_.get(), 0) < 0) {
      LOG(ERROR) << "av_frame_get_buffer error";
      swr_.reset();
    }
  }
  bool Ready() const { return swr_ != nullptr; }

  // False when a block could not be converted.
  bool Add(const std::uint8_t* data, size_t bytes) {
    size_t left = bytes - bytes % blockAlign_;
    while (left > 0) {
      const size_t n = std::min(left, staging_.size() - fill_);
      std::memcpy(staging_.data() + fill_, data, n);
      fill_ += n;
      data += n;
      left -= n;
      if (fill_ == staging_.size() && !Flush()) return false;
    }
    return true;
  }

  // Converts what the staging block holds.
  bool Flush() {
    if (fill_ == 0) return true;
    const std::uint8_t* in[1] = {staging_.data()};
    const int made = swr_convert(swr_.get(), converted_->data, converted_->nb_samples, in,
                                 static_cast<int>(fill_ / blockAlign_));
    fill_ = 0;
    if (made < 0) {
      LOG(ERROR) << "swr_convert  error";
      return false;
    }
    out_.Write(converted_->data, made, false);
    return true;
  }

 private:
  int blockAlign_;
  SoundFifo& out_;
  SwrPtr swr_;
  FramePtr converted_;
  std::vector<std::uint8_t> staging_;
  size_t fill_ = 0;
};

bool SystemSoundSource::Setup() {
  active_ = false;
  return out_.Allocate(kTargetRate * 3);
}

void SystemSoundSource::Ended() {
  active_ = false;
  session_.start.systemEnded = true;
  out_.Finish();
}

// Start alignment: the backlog is thrown away until every source is ready.
// True once aligned.
bool SystemSoundSource::AlignStart(platform::PulseCapture& capture) {
  StartLine& start = session_.start;
  if (start.system && start.video &&
      (session_.settings.voiceSource != VoiceSource::kBoth || start.MicrophoneSettled()))
    return true;
  if (capture.NextPacketSize() == 0) {
    start.system = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } else {
    capture.Release();
  }
  return false;
}

void SystemSoundSource::Report(const std::string& lost, bool whileRecording) {
  if (!session_.gate.Aborted() && session_.listener)
    session_.listener->SoundSourceLost(kSoundSystem, lost, whileRecording);
}

// Connects to the default sink's monitor with a converter for its format.
bool SystemSoundSource::Connect(Capture& c, int timeoutMs) {
  auto capture = std::make_unique<platform::PulseCapture>();
  if (!capture->Open({}, timeoutMs)) {
    c.error = capture->Error();
    return false;
  }
  auto converter = std::make_unique<Converter>(capture->Channels(), capture->Rate(),
                                               capture->BlockAlign(), out_);
  if (!converter->Ready()) {
    c.error = "its sound cannot be converted";
    return false;
  }
  LOG(INFO) << "system sound: " << capture->Channels() << " channels at " << capture->Rate()
            << " Hz, 32-bit";
  c.capture = std::move(capture);
  c.converter = std::move(converter);
  return true;
}

void SystemSoundSource::Body() {
  Capture c;
  if (!Connect(c, 3000)) {
    LOG(ERROR) << "Get Default Audio Endpoint error: " << c.error;
    Report("system sound could not be recorded: " + c.error + "; recording without it", false);
    return;
  }
  const RunGate& gate = session_.gate;
  bool gone = false;  // told as lost and not back since
  auto lastTry = std::chrono::steady_clock::now();
  int emptyPolls = 0;
  while (!gate.Aborted()) {
    if (!c.capture) {
      // Dropped by the sound server: asked for again now and then, while
      // the encoder takes silence.
      const auto now = std::chrono::steady_clock::now();
      if (now - lastTry >= kRetry) {
        lastTry = now;
        Connect(c, kReopenTimeoutMs);
      }
      if (!c.capture) {
        std::this_thread::sleep_for(kPollInterval);
        continue;
      }
    }
    if (!AlignStart(*c.capture)) continue;
    const size_t bytes = c.capture->NextPacketSize();
    if (c.capture->Failed()) {
      LOG(ERROR) << "AudioCaptureClient GetBuffer  error";
      c.converter->Flush();  // what came before still belongs to the recording
      c.capture.reset();
      active_ = false;
      lastTry = std::chrono::steady_clock::now();
      if (!gone) Report("the sound server dropped the system sound; silence until it is back", true);
      gone = true;
      continue;
    }
    if (bytes == 0) {
      std::this_thread::sleep_for(kPollInterval);
      if (++emptyPolls >= kEmptyPollsUntilSilent) {
        active_ = false;
        emptyPolls = 0;
      }
      continue;
    }
    if (gone && session_.listener)
      session_.listener->SoundSourceBack(kSoundSystem, "system sound is back");
    gone = false;
    active_ = true;
    emptyPolls = 0;
    if (!gate.IsOpen()) {
      c.capture->Release();  // paused: nothing is kept
      continue;
    }
    const bool ok = c.converter->Add(static_cast<const std::uint8_t*>(c.capture->Data()), bytes);
    c.capture->Release();
    if (!ok) {
      // Nothing more of it could be used; the recording goes on without it.
      Report("system sound could not be converted; recording on without it", true);
      break;
    }
  }
  // What was captured up to the stop still belongs to the recording.
  if (c.converter) c.converter->Flush();
  Trace("speaker audio capture thread exit\n");
}

}  // namespace kal
