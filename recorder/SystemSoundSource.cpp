#include "recorder/SystemSoundSource.h"

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <glog/logging.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "platform/PulseCapture.h"
#include "recorder/SoundClock.h"
#include "recorder/Trace.h"

namespace kal {

constexpr int kTargetRate = 44100;
constexpr std::chrono::milliseconds kPollInterval{10};
// A monitor the sound server dropped is asked for again this often, each
// time waiting no longer than this.
constexpr std::chrono::milliseconds kRetry{1000};
constexpr int kReopenTimeoutMs = 300;

// Converts the device's interleaved 32-bit sound, fragment by fragment, into
// the FIFO; its resampler also takes the clock's correction.
class SystemSoundSource::Converter {
 public:
  Converter(int channels, int rate, int blockAlign, SoundFifo& out)
      : rate_(rate), blockAlign_(blockAlign), out_(out) {
    AVChannelLayout in;
    av_channel_layout_default(&in, channels);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* raw = nullptr;
    const int alloc = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_FLTP, kTargetRate, &in,
                                          AV_SAMPLE_FMT_S32, rate, 0, nullptr);
    swr_.reset(raw);
    av_channel_layout_uninit(&in);
    // Resampling even at equal rates, so that the clock can be followed.
    if (alloc < 0 || !swr_ || av_opt_set_int(swr_.get(), "flags", SWR_FLAG_RESAMPLE, 0) < 0 ||
        swr_init(swr_.get()) < 0) {
      LOG(ERROR) << "Could not set up the system sound's resampler";
      swr_.reset();
    }
  }
  bool Ready() const { return swr_ != nullptr; }
  SwrContext* Resampler() const { return swr_.get(); }
  // Samples, at the encoder's rate, the resampler still holds.
  std::int64_t Pending() const { return swr_get_delay(swr_.get(), kTargetRate); }

  // Samples handed over; -1 when the sound could not be converted. No data:
  // what the resampler holds.
  int Add(const std::uint8_t* data, int frames) {
    const int room = static_cast<int>(
        av_rescale_rnd(swr_get_delay(swr_.get(), rate_) + frames, kTargetRate, rate_, AV_ROUND_UP) + 16);
    left_.resize(static_cast<size_t>(room) * sizeof(float));
    right_.resize(static_cast<size_t>(room) * sizeof(float));
    std::uint8_t* planes[2] = {left_.data(), right_.data()};
    const std::uint8_t* in[1] = {data};
    const int made = swr_convert(swr_.get(), planes, room, data ? in : nullptr, data ? frames : 0);
    if (made < 0) {
      LOG(ERROR) << "swr_convert  error";
      return -1;
    }
    if (made > 0) out_.Write(planes, made, false);
    return made;
  }
  int BlockAlign() const { return blockAlign_; }

 private:
  int rate_;
  int blockAlign_;
  SoundFifo& out_;
  SwrPtr swr_;
  std::vector<std::uint8_t> left_;
  std::vector<std::uint8_t> right_;
};

bool SystemSoundSource::Setup() { return out_.Allocate(kTargetRate * 3); }

void SystemSoundSource::Ended() { out_.Close(); }

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
  SoundClock clock(session_.sync, kTargetRate);
  while (!gate.Aborted()) {
    const auto now = SoundClock::Clock::now();
    if (!c.capture && now - lastTry >= kRetry) {
      // Dropped by the sound server: asked for again now and then.
      lastTry = now;
      Connect(c, kReopenTimeoutMs);
    }
    const size_t bytes = c.capture ? c.capture->NextPacketSize() : 0;
    if (c.capture && c.capture->Failed()) {
      LOG(ERROR) << "AudioCaptureClient GetBuffer  error";
      c.converter->Add(nullptr, 0);  // what came before still belongs to the recording
      c.capture.reset();
      c.converter.reset();
      lastTry = now;
      if (!gone) Report("the sound server dropped the system sound; silence until it is back", true);
      gone = true;
      continue;
    }
    if (!gate.IsOpen()) {
      // Before the start and in a pause nothing is kept.
      if (bytes > 0) c.capture->Release();
      else std::this_thread::sleep_for(kPollInterval);
      clock.Rejoin();
      continue;
    }
    if (bytes == 0) {
      // Nothing plays, or the monitor is gone: silence stands in for what
      // is overdue, so the picture does not wait.
      clock.FillOverdue(out_, now, false);
      std::this_thread::sleep_for(kPollInterval);
      continue;
    }
    if (gone && session_.listener)
      session_.listener->SoundSourceBack(kSoundSystem, "system sound is back");
    gone = false;
    const int align = c.capture->BlockAlign(), rate = c.capture->Rate();
    int frames = static_cast<int>(bytes / static_cast<size_t>(align));
    const auto taken = now - std::chrono::microseconds(c.capture->TakenAgoMicros());
    const SoundClock::Placement place = clock.Place(taken, c.converter->Pending());
    clock.WriteSilence(out_, place.silence, false);
    const int skip = static_cast<int>(std::min<std::int64_t>(frames, place.drop * rate / kTargetRate));
    const int made = skip == frames ? 0
                                    : c.converter->Add(static_cast<const std::uint8_t*>(c.capture->Data()) +
                                                           static_cast<size_t>(skip) * align,
                                                       frames - skip);
    c.capture->Release();
    if (made < 0) {
      // Nothing more of it could be used; the recording goes on without it.
      Report("system sound could not be converted; recording on without it", true);
      break;
    }
    if (skip == frames) continue;
    clock.Wrote(made);
    const auto takenUpTo = taken + std::chrono::microseconds(static_cast<std::int64_t>(frames) * 1000000 / rate);
    SetCorrection(c.converter->Resampler(), clock.Follow(takenUpTo, c.converter->Pending(), now),
                  kTargetRate);
  }
  // What was captured up to the stop still belongs to the recording.
  if (c.converter) c.converter->Add(nullptr, 0);
  Trace("speaker audio capture thread exit\n");
}

}  // namespace kal
