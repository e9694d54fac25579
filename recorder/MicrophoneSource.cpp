#include "recorder/MicrophoneSource.h"

#include <cstring>
#include <thread>

#include <glog/logging.h>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

#include "config/ConfigKeys.h"
#include "platform/PulseCapture.h"
#include "recorder/SoundTimeline.h"
#include "recorder/Trace.h"
#include "recorder/VoiceProcessor.h"

namespace kal {

constexpr int kTargetRate = 44100;
constexpr int kMicFifoSeconds = 6;
// 2 s of 32 kHz samples waiting to be cut into 10 ms chunks.
constexpr int kAccumulationSamples = 64000;

int MicrophoneSource::Setup() {
  devices_ = EnumerateCaptureDevices(CaptureKind::kMicrophone);
  if (devices_.empty()) {
    LOG(ERROR) << "音频设备获取失败";
    return ERR_NO_AUDIO_DEVICE;
  }
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  SwrContext* swr = nullptr;
  if (swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLTP, kTargetRate, &mono, AV_SAMPLE_FMT_S16,
                          VoiceProcessor::kSampleRate, 0, nullptr) < 0 ||
      !swr) {
    LOG(ERROR) << "Could not allocate resampler context";
    return -1;
  }
  resampler_.reset(swr);
  if (swr_init(swr) < 0) {
    LOG(ERROR) << "Failed to initialize the resampling context";
    return -1;
  }
  if (!out_.Allocate(kTargetRate * kMicFifoSeconds)) {
    LOG(ERROR) << "Could not allocate audio fifo";
    return -1;
  }
  return 0;
}

// Owns what the microphone thread allocates for itself.
struct MicrophoneSource::State {
  platform::PulseCapture capture;
  SwrPtr firstStage;  // the source's format to 32 kHz mono 16-bit
  VoiceProcessor voice;
  std::vector<std::int16_t> accumulated;  // 32 kHz mono samples not yet processed
  std::vector<std::int16_t> converted;
  std::vector<std::int16_t> processed;
  std::vector<std::uint8_t> planeL;
  std::vector<std::uint8_t> planeR;
};

namespace {

// A microphone that delivers nothing for this long is gone (unplugged, or
// its stream stalled): the recording goes on with silence in its place
// rather than hold the picture.
constexpr std::chrono::milliseconds kMicStallLimit{2000};
constexpr std::chrono::milliseconds kMicPoll{5};
// Sound more overdue than this is replaced by silence while it is missing.
constexpr std::chrono::milliseconds kMicLateLimit{200};
// Smaller gaps between fragments are the server's jitter, not lost sound.
constexpr std::int64_t kMicJitterSamples = 44100 * 50 / 1000;


// Throws away what the server has delivered so far.
void DiscardBuffered(platform::PulseCapture& capture) {
  while (capture.NextPacketSize() > 0) capture.Release();
}

bool MakeFirstStage(MicrophoneSource::State& m) {
  AVChannelLayout in;
  av_channel_layout_default(&in, m.capture.Channels());
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  SwrContext* swr = nullptr;
  const int ret = swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, VoiceProcessor::kSampleRate,
                                      &in, AV_SAMPLE_FMT_S32, m.capture.Rate(), 0, nullptr);
  av_channel_layout_uninit(&in);
  m.firstStage.reset(swr);
  if (ret < 0 || !swr) {
    LOG(ERROR) << "swr alloc error";
    return false;
  }
  if (swr_init(swr) < 0) {
    LOG(ERROR) << "swr init error";
    return false;
  }
  return true;
}

// Cuts the 32 kHz samples into 10 ms chunks and cleans them; whatever does
// not fill a chunk waits for the next pass.
void CleanChunks(MicrophoneSource::State& m, int got) {
  m.processed.clear();
  int taken = 0;
  while (taken < got) {
    const int fit =
        std::min(got - taken, kAccumulationSamples - static_cast<int>(m.accumulated.size()));
    m.accumulated.insert(m.accumulated.end(), m.converted.begin() + taken,
                         m.converted.begin() + taken + fit);
    taken += fit;
    size_t chunk = 0;
    for (; chunk + VoiceProcessor::kChunkSamples <= m.accumulated.size();
         chunk += VoiceProcessor::kChunkSamples) {
      std::int16_t* samples = m.accumulated.data() + chunk;
      if (!m.voice.Process(samples)) continue;  // the chunk is dropped
      m.processed.insert(m.processed.end(), samples, samples + VoiceProcessor::kChunkSamples);
    }
    m.accumulated.erase(m.accumulated.begin(),
                        m.accumulated.begin() + static_cast<std::ptrdiff_t>(chunk));
  }
}

}  // namespace

// Converts one fragment of the device and hands the cleaned sound over.
// Returns the samples handed over, -1 on an error that ends the thread.
int MicrophoneSource::TakeFragment(State& m, const void* data, int frames) {
  const int rate = m.capture.Rate();
  const int room = static_cast<int>(av_rescale_rnd(swr_get_delay(m.firstStage.get(), rate) + frames,
                                                   VoiceProcessor::kSampleRate, rate, AV_ROUND_UP));
  m.converted.resize(static_cast<size_t>(room));
  std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(m.converted.data())};
  const std::uint8_t* in[1] = {static_cast<const std::uint8_t*>(data)};
  const int got = swr_convert(m.firstStage.get(), out, room, in, frames);
  if (got < 0) {
    LOG(ERROR) << "Error while converting";
    return -1;
  }
  CleanChunks(m, got);
  if (m.processed.empty()) return 0;

  const int inSamples = static_cast<int>(m.processed.size());
  const int outSamples = static_cast<int>(av_rescale_rnd(
      swr_get_delay(resampler_.get(), VoiceProcessor::kSampleRate) + inSamples, kTargetRate,
      VoiceProcessor::kSampleRate, AV_ROUND_UP));
  m.planeL.resize(static_cast<size_t>(outSamples) * sizeof(float));
  m.planeR.resize(static_cast<size_t>(outSamples) * sizeof(float));
  std::uint8_t* planes[2] = {m.planeL.data(), m.planeR.data()};
  const std::uint8_t* cleaned[1] = {reinterpret_cast<const std::uint8_t*>(m.processed.data())};
  const int made = swr_convert(resampler_.get(), planes, outSamples, cleaned, inSamples);
  if (made < 0) {
    LOG(ERROR) << "Error while converting";
    return -1;
  }
  // Waits for room (never overwrites, never drops) until a stop.
  if (made > 0 && !out_.Write(planes, made, true)) return 0;
  return made;
}

void MicrophoneSource::WriteSilence(SoundTimeline& timeline, std::int64_t samples) {
  constexpr int kPiece = 4096;
  float zeros[kPiece] = {};
  std::uint8_t* planes[2] = {reinterpret_cast<std::uint8_t*>(zeros),
                             reinterpret_cast<std::uint8_t*>(zeros)};
  while (samples > 0) {
    const int n = static_cast<int>(std::min<std::int64_t>(samples, kPiece));
    if (!out_.Write(planes, n, true)) return;
    timeline.Wrote(n);
    samples -= n;
  }
}

void MicrophoneSource::Ended() {
  session_.start.microphoneEnded = true;
  out_.Finish();
}

// Opens the device and the first resampling stage. False, with `lost`
// saying why when the user should be told, when the thread cannot go on.
bool MicrophoneSource::Open(State& m, bool& opened, std::string& lost) {
  const std::int64_t started = av_gettime_relative();
  const SessionSettings& s = session_.settings;
  if (!m.voice.Init(s.microphoneCheck != 0, s.voiceSize)) return false;
  const std::string source = devices_.front().displayName;
  if (!m.capture.Open(source)) {
    LOG(ERROR) << "psDevName:" << source;
    LOG(ERROR) << "avformat_open_input err,errstr=" << m.capture.Error();
    lost = "the microphone could not be opened: " + m.capture.Error();
    return false;
  }
  opened = true;
  LOG(ERROR) << "avformat_open_input time: " << (av_gettime_relative() - started);
  LOG(INFO) << "src_rate: " << m.capture.Rate();
  LOG(INFO) << "src_sample_fmt: s32";
  LOG(INFO) << "src_nb_channels: " << m.capture.Channels();
  LOG(INFO) << "dst_nb_channels: 2";
  LOG(INFO) << "dst_rate: " << kTargetRate;
  LOG(INFO) << "dst_sample_fmt: fltp";
  if (!MakeFirstStage(m)) return false;
  LOG(ERROR) << "audio init time:" << (av_gettime_relative() - started);
  m.accumulated.reserve(kAccumulationSamples);
  return true;
}

// Start alignment: throws away what the device delivered before all
// sources are ready. A system-sound source that has ended counts as ready.
void MicrophoneSource::AlignStart(State& m) {
  StartLine& start = session_.start;
  if (session_.settings.voiceSource == VoiceSource::kBoth) {
    while (!(start.microphone && start.SystemSettled()) && !session_.gate.Aborted()) {
      DiscardBuffered(m.capture);
      start.microphone = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  } else if (!start.microphone) {
    DiscardBuffered(m.capture);
    start.microphone = true;
  }
}

void MicrophoneSource::Body() {
  State m;
  std::string lost;  // why the microphone is gone, when it is
  bool opened = false;
  const RunGate& gate = session_.gate;
  if (Open(m, opened, lost)) {
    const int blockAlign = m.capture.BlockAlign();
    auto lastSound = std::chrono::steady_clock::now();
    SoundTimeline timeline(kTargetRate);
    while (!gate.Aborted()) {
      AlignStart(m);
      const size_t bytes = m.capture.NextPacketSize();
      if (m.capture.Failed()) {
        LOG(ERROR) << "read audio packet err: the sound server dropped the microphone";
        lost = "the sound server dropped the microphone";
        break;
      }
      const auto now = std::chrono::steady_clock::now();
      if (bytes > 0) {
        lastSound = now;
      } else if (now - lastSound > kMicStallLimit) {
        LOG(ERROR) << "read audio packet err: the microphone delivers nothing";
        lost = "the microphone stopped delivering sound";
        break;
      }
      if (!gate.IsOpen()) {
        if (bytes > 0) m.capture.Release();  // paused: nothing is kept
        else std::this_thread::sleep_for(kMicPoll);
        timeline.Reset();
        continue;
      }
      if (!timeline.Anchored()) timeline.Anchor(now);
      if (bytes == 0) {
        // Late sound: silence stands in for what is overdue, so the picture
        // does not wait; what arrives later fills only what is still open.
        WriteSilence(timeline, timeline.Missing(now - kMicLateLimit));
        std::this_thread::sleep_for(kMicPoll);
        continue;
      }
      const int frames = static_cast<int>(bytes / blockAlign);
      const auto fragmentStart = now - std::chrono::microseconds(static_cast<std::int64_t>(frames) *
                                                                 1000000 / m.capture.Rate());
      const std::int64_t missing = timeline.Missing(fragmentStart);
      if (missing > kMicJitterSamples) WriteSilence(timeline, missing);
      const int made = TakeFragment(m, m.capture.Data(), frames);
      m.capture.Release();
      if (made < 0) {
        lost = "the microphone's sound could not be converted";
        break;
      }
      timeline.Wrote(made);
    }
  }
  Trace("micophone audio capture thread exit\n");
  if (!lost.empty() && !gate.Aborted() && session_.listener)
    session_.listener->SoundSourceLost(kSoundMicrophone, lost, opened);
}

}  // namespace kal
