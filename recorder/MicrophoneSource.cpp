#include "recorder/MicrophoneSource.h"

#include <cstring>
#include <memory>
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
#include "recorder/SoundClock.h"
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
  std::unique_ptr<platform::PulseCapture> capture;  // null while the server has dropped it
  SwrPtr firstStage;  // the source's format to 32 kHz mono 16-bit
  VoiceProcessor voice;
  std::vector<std::int16_t> accumulated;  // 32 kHz mono samples not yet processed
  std::vector<std::int16_t> converted;
  std::vector<std::int16_t> processed;
  std::vector<std::uint8_t> planeL;
  std::vector<std::uint8_t> planeR;
};

namespace {

// A microphone that delivers nothing for this long (not started yet, a
// headset switching profiles, unplugged) is told to the user once; silence
// stands in meanwhile, and its sound rejoins the recording when it comes.
constexpr std::chrono::milliseconds kMicStallLimit{2000};
// A microphone the sound server has dropped is asked for again this often,
// each time waiting no longer than this (silence is not written meanwhile).
constexpr std::chrono::milliseconds kMicRetry{1000};
constexpr int kMicReopenTimeoutMs = 300;
constexpr std::chrono::milliseconds kMicPoll{5};


bool MakeFirstStage(MicrophoneSource::State& m) {
  AVChannelLayout in;
  av_channel_layout_default(&in, m.capture->Channels());
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  SwrContext* swr = nullptr;
  const int ret = swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, VoiceProcessor::kSampleRate,
                                      &in, AV_SAMPLE_FMT_S32, m.capture->Rate(), 0, nullptr);
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
  const int rate = m.capture->Rate();
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

// Samples, at the encoder's rate, of sound taken that the converters still
// hold.
std::int64_t MicrophoneSource::Pending(State& m) const {
  const std::int64_t inside = swr_get_delay(m.firstStage.get(), VoiceProcessor::kSampleRate) +
                              static_cast<std::int64_t>(m.accumulated.size()) +
                              swr_get_delay(resampler_.get(), VoiceProcessor::kSampleRate);
  return av_rescale(inside, kTargetRate, VoiceProcessor::kSampleRate);
}

void MicrophoneSource::Ended() { out_.Close(); }

// Connects to the device and makes the first resampling stage for its
// format. False, with `why` saying why, when it cannot be had.
bool MicrophoneSource::Connect(State& m, int timeoutMs, std::string& why) {
  const std::string source = devices_.front().displayName;
  auto capture = std::make_unique<platform::PulseCapture>();
  if (!capture->Open(source, timeoutMs)) {
    why = capture->Error();
    return false;
  }
  m.capture = std::move(capture);
  if (!MakeFirstStage(m)) {
    m.capture.reset();
    why = "its sound could not be converted";
    return false;
  }
  return true;
}

// Opens the device at the start. False, with `lost` saying why, when the
// thread cannot go on.
bool MicrophoneSource::Open(State& m, std::string& lost) {
  const std::int64_t started = av_gettime_relative();
  const SessionSettings& s = session_.settings;
  if (!m.voice.Init(s.microphoneCheck != 0, s.voiceSize)) return false;
  std::string why;
  if (!Connect(m, 3000, why)) {
    LOG(ERROR) << "psDevName:" << devices_.front().displayName;
    LOG(ERROR) << "avformat_open_input err,errstr=" << why;
    lost = "the microphone could not be opened: " + why + "; recording without it";
    return false;
  }
  LOG(ERROR) << "avformat_open_input time: " << (av_gettime_relative() - started);
  LOG(INFO) << "src_rate: " << m.capture->Rate() << ", src_nb_channels: " << m.capture->Channels()
            << " (s32), dst: " << kTargetRate << " Hz, 2 channels, fltp";
  m.accumulated.reserve(kAccumulationSamples);
  return true;
}

// What the user is told of the microphone while recording: once when it
// falls silent (never started, stopped, dropped), once when it is back.
void MicrophoneSource::Watch::Heard(Clock::time_point now) {
  lastSound = now;
  heard = true;
  if (!gone) return;
  gone = false;
  if (listener) listener->SoundSourceBack(kSoundMicrophone, "the microphone is back");
}

void MicrophoneSource::Watch::Silent(Clock::time_point now) {
  if (gone || now - lastSound <= kMicStallLimit) return;
  LOG(ERROR) << "read audio packet err: the microphone delivers nothing";
  Gone(heard ? "the microphone stopped delivering sound; silence until it is back"
             : "the microphone has delivered no sound yet; silence until it does");
}

void MicrophoneSource::Watch::Gone(const std::string& why) {
  if (gone) return;
  gone = true;
  if (listener) listener->SoundSourceLost(kSoundMicrophone, why, true);
}

void MicrophoneSource::Body() {
  State m;
  std::string lost;  // why the microphone cannot be had at all
  const RunGate& gate = session_.gate;
  if (!Open(m, lost)) {
    if (!lost.empty() && !gate.Aborted() && session_.listener)
      session_.listener->SoundSourceLost(kSoundMicrophone, lost, false);
    return;
  }
  Watch watch{session_.listener, Clock::now()};
  auto lastTry = Clock::now();
  SoundClock clock(session_.sync, kTargetRate);
  while (!gate.Aborted()) {
    const auto now = Clock::now();
    if (m.capture && m.capture->Failed()) {
      LOG(ERROR) << "read audio packet err: the sound server dropped the microphone";
      m.capture.reset();
      lastTry = now;
      watch.Gone("the sound server dropped the microphone; silence until it is back");
    }
    if (!m.capture && now - lastTry >= kMicRetry) {
      lastTry = now;
      std::string why;
      if (Connect(m, kMicReopenTimeoutMs, why)) LOG(INFO) << "the microphone is connected again";
    }
    const size_t bytes = m.capture ? m.capture->NextPacketSize() : 0;
    if (bytes > 0) watch.Heard(now);
    if (!gate.IsOpen()) {
      // Before the start and in a pause nothing is kept.
      if (bytes > 0) m.capture->Release();
      else std::this_thread::sleep_for(kMicPoll);
      clock.Rejoin();
      watch.lastSound = now;  // a pause is no silence of the microphone's
      continue;
    }
    if (bytes == 0) {
      // Late or missing sound: silence stands in for what is overdue, so
      // the picture does not wait; what arrives later fills only what is
      // still open.
      watch.Silent(now);
      clock.FillOverdue(out_, now, true);
      std::this_thread::sleep_for(kMicPoll);
      continue;
    }
    const int align = m.capture->BlockAlign(), rate = m.capture->Rate();
    int frames = static_cast<int>(bytes / align);
    const auto taken = now - std::chrono::microseconds(m.capture->TakenAgoMicros());
    const SoundClock::Placement place = clock.Place(taken, Pending(m));
    clock.WriteSilence(out_, place.silence, true);
    const int skip = static_cast<int>(std::min<std::int64_t>(frames, place.drop * rate / kTargetRate));
    if (skip == frames) {
      m.capture->Release();
      continue;
    }
    const auto* data = static_cast<const std::uint8_t*>(m.capture->Data()) + skip * align;
    frames -= skip;
    const int made = TakeFragment(m, data, frames);
    m.capture->Release();
    if (made < 0) {
      // Nothing more of it could be used; the recording goes on without it.
      watch.Gone("the microphone's sound could not be converted; recording on without it");
      break;
    }
    clock.Wrote(made);
    const auto takenUpTo =
        taken + std::chrono::microseconds(static_cast<std::int64_t>(skip + frames) * 1000000 / rate);
    if (!SetCorrection(resampler_.get(), clock.Follow(takenUpTo, Pending(m), now), kTargetRate) &&
        !correctionRefused_) {
      LOG(ERROR) << "the microphone's resampler takes no clock correction";
      correctionRefused_ = true;
    }
  }
  Trace("micophone audio capture thread exit\n");
}

}  // namespace kal
