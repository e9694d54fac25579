// The system-sound path: the default sink's monitor, collected in staging
// blocks of 22,050 sample frames, converted to the encoder's format and
// appended to speakerFifo.

#include <cstring>

#include <glog/logging.h>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/PulseCapture.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace kal {

constexpr int kTargetRate = 44100;
constexpr int kStagingFrames = 22050;  // about half a second
// After this many empty 10 ms polls system sound counts as silent.
constexpr int kEmptyPollsUntilSilent = 100;
constexpr std::chrono::milliseconds kPollInterval{10};

void Recorder::SpeakerCapture() {
  std::string lost;  // why system sound is gone, when it is
  bool opened = false;
  const auto finish = [&] {
    if (!lost.empty() && !stopRequested_) ReportSoundLost(kSoundSystem, lost, opened);
    SpeakerEnded();
    Trace("speaker audio capture thread exit\n");
  };
  platform::PulseCapture capture;
  if (!capture.Open()) {
    LOG(ERROR) << "Get Default Audio Endpoint error: " << capture.Error();
    lost = "system sound could not be recorded: " + capture.Error();
    return finish();
  }
  opened = true;
  const int channels = capture.Channels();
  const int rate = capture.Rate();
  const int blockAlign = capture.BlockAlign();
  LOG(INFO) << "nChannels: " << channels;
  LOG(INFO) << "nSamplesPerSec: " << rate;
  LOG(INFO) << "wBitsPerSample: 32";
  LOG(INFO) << "nBlockAlign: " << blockAlign;

  AVChannelLayout inLayout;
  av_channel_layout_default(&inLayout, channels);
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  SwrContext* raw = nullptr;
  const int alloc = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_FLTP, kTargetRate, &inLayout,
                                        AV_SAMPLE_FMT_S32, rate, 0, nullptr);
  SwrPtr swr(raw);
  av_channel_layout_uninit(&inLayout);
  if (alloc < 0 || !swr) {
    LOG(ERROR) << "Could not allocate resampler context";
    return finish();
  }
  if (swr_init(swr.get()) < 0) {
    LOG(ERROR) << "swr_init error";
    return finish();
  }
  FramePtr converted = MakeFrame();
  converted->format = AV_SAMPLE_FMT_FLTP;
  converted->nb_samples = static_cast<int>(av_rescale_rnd(
      swr_get_delay(swr.get(), rate) + kStagingFrames, kTargetRate, rate, AV_ROUND_UP));
  av_channel_layout_copy(&converted->ch_layout, &stereo);
  if (av_frame_get_buffer(converted.get(), 0) < 0) {
    LOG(ERROR) << "av_frame_get_buffer error";
    return finish();
  }
  std::vector<std::uint8_t> staging(static_cast<size_t>(kStagingFrames) * blockAlign);
  size_t fill = 0;

  // Converts the full staging block into speakerFifo.
  const auto flushStaging = [&]() -> bool {
    const std::uint8_t* in[1] = {staging.data()};
    const int made = swr_convert(swr.get(), converted->data, converted->nb_samples, in,
                                 static_cast<int>(fill / blockAlign));
    fill = 0;
    if (made < 0) {
      LOG(ERROR) << "swr_convert  error";
      return false;
    }
    std::lock_guard<std::mutex> lock(speakerFifoLock_);
    av_audio_fifo_write(speakerFifo_.get(), reinterpret_cast<void**>(converted->data), made);
    return true;
  };

  int emptyPolls = 0;
  while (!stopRequested_) {
    // Start alignment: the backlog is thrown away until every source is ready.
    if (!(speakerReady_ && videoReady_ && (settings_.voiceSource != VoiceSource::kBoth || MicSettled()))) {
      if (capture.NextPacketSize() == 0) {
        speakerReady_ = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      } else {
        capture.Release();
      }
      continue;
    }
    const size_t bytes = capture.NextPacketSize();
    if (capture.Failed()) {
      LOG(ERROR) << "AudioCaptureClient GetBuffer  error";
      lost = "the sound server dropped the system sound";
      break;
    }
    if (bytes == 0) {
      std::this_thread::sleep_for(kPollInterval);
      if (++emptyPolls >= kEmptyPollsUntilSilent) {
        speakerActive_ = false;
        emptyPolls = 0;
      }
      continue;
    }
    speakerActive_ = true;
    emptyPolls = 0;
    if (!capturing_) {
      capture.Release();  // paused: nothing is kept
      continue;
    }
    const auto* data = static_cast<const std::uint8_t*>(capture.Data());
    size_t left = bytes - bytes % blockAlign;
    bool ok = true;
    while (left > 0) {
      const size_t n = std::min(left, staging.size() - fill);
      std::memcpy(staging.data() + fill, data, n);
      fill += n;
      data += n;
      left -= n;
      if (fill == staging.size() && !(ok = flushStaging())) {
        lost = "system sound could not be converted";
        break;
      }
    }
    capture.Release();
    if (!ok) break;
  }
  // What was captured up to the stop still belongs to the recording.
  if (fill > 0) flushStaging();
  finish();
}

}  // namespace kal
