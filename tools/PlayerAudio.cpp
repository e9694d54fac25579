#include "tools/PlayerAudio.h"

#include <algorithm>
#include <cstring>

#include <glog/logging.h>

#include "ui/SdlCanvas.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace kal {
namespace {

// About 30 callbacks a second, as a power of two, at least 512 samples.
int CallbackSamples(int rate) {
  int samples = 512;
  while (samples * 30 < rate) samples *= 2;
  return samples;
}

}  // namespace

bool PlayerAudio::Open(const AVStream* stream, std::string& why) {
  if (!decoder_.Open(stream, "Audio", false, why)) return false;
  SDL_AudioSpec want{};
  want.freq = decoder_.Context()->sample_rate;
  want.format = AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(std::clamp(decoder_.Context()->ch_layout.nb_channels, 1, 8));
  want.silence = 0;
  want.samples = static_cast<Uint16>(CallbackSamples(want.freq));
  want.callback = &PlayerAudio::Callback;
  want.userdata = this;
  constexpr int kChanges = SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE;
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &granted_, kChanges);
  if (!device_) {
    // Devices of closed players may still be on their way out.
    ui::FinishClosingAudio();
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &granted_, kChanges);
  }
  if (!device_) {
    why = std::string("no sound device: ") + SDL_GetError();
    return false;
  }
  if (granted_.format != AUDIO_S16SYS) {
    why = "SDL advised audio format " + std::to_string(granted_.format) + " is not supported!";
    Close();
    return false;
  }
  if (granted_.channels != want.channels)
    LOG(INFO) << "SDL advised channel count " << int(granted_.channels) << " is not supported!";
  byteRate_ = granted_.freq * granted_.channels * 2;
  return true;
}

void PlayerAudio::Pause(bool paused) {
  if (device_) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void PlayerAudio::Close() {
  if (device_) {
    // Paused, SDL never calls back again (it waits for a running callback);
    // the device itself is let go without waiting for the server.
    SDL_PauseAudioDevice(device_, 1);
    ui::CloseAudioDeviceLater(device_);
  }
  device_ = 0;
  av_channel_layout_uninit(&swrLayout_);
}

void PlayerAudio::Callback(void* self, Uint8* out, int len) {
  static_cast<PlayerAudio*>(self)->Fill(out, len);
}

void PlayerAudio::Fill(Uint8* out, int len) {
  const double now = NowSeconds();
  std::memset(out, 0, static_cast<size_t>(len));
  if (seeking_) return;
  if (decoder_.CatchUp()) {
    // A seek: what is buffered is not played, and the clock waits for the
    // first sound from the new place.
    bufferIndex_ = bufferSize_ = 0;
    audioClock_ = NAN;
  }
  bool played = false;
  while (len > 0) {
    if (bufferIndex_ >= bufferSize_) {
      const int n = DecodeFrame();
      silence_ = n < 0;
      bufferIndex_ = 0;
      // Silence stands in, a whole number of sample frames long.
      bufferSize_ = silence_ ? granted_.channels * 2 * 256 : n;
    }
    const int chunk = std::min(len, bufferSize_ - bufferIndex_);
    if (!silence_) {
      SDL_MixAudioFormat(out, buffer_.data() + bufferIndex_, AUDIO_S16SYS,
                         static_cast<Uint32>(chunk), volume_.load());
      played = true;
    }
    out += chunk;
    len -= chunk;
    bufferIndex_ += chunk;
  }
  // What leaves the device now was decoded this long before the end of the
  // last frame: what is left of ours, and what the server holds. SDL asks
  // the server for one callback of buffer and the server's sink keeps about
  // half as much again (on PulseAudio: two callbacks made the sound lead its
  // pictures by 20-40 ms, one made it lag by 25-35 ms). Only sound moves the
  // clock; over silence it runs on by itself.
  if (played && !std::isnan(audioClock_)) {
    const int waiting = 3 * static_cast<int>(granted_.size) / 2 + (silence_ ? 0 : bufferSize_ - bufferIndex_);
    clock_.Set(audioClock_ - static_cast<double>(waiting) / byteRate_, now);
  }
}

int PlayerAudio::DecodeFrame() {
  while (const AVFrame* f = decoder_.Next()) {
    const bool ok = Convert(f);
    const double rate = f->sample_rate > 0 ? f->sample_rate : 1;
    if (f->pts != AV_NOPTS_VALUE)
      audioClock_ = f->pts * av_q2d(decoder_.TimeBase()) + f->nb_samples / rate;
    else if (!std::isnan(audioClock_))
      audioClock_ += f->nb_samples / rate;
    // After a seek, the sound from the key picture before the place asked
    // for up to that place is not played.
    if (decoder_.Serial() == skipSerial_.load() && audioClock_ < skipUntil_.load()) continue;
    if (ok) return bufferSize_;
  }
  return -1;
}

bool PlayerAudio::Convert(const AVFrame* f) {
  if (!resampler_ || swrFormat_ != f->format || swrRate_ != f->sample_rate ||
      av_channel_layout_compare(&swrLayout_, &f->ch_layout) != 0) {
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, granted_.channels);
    SwrContext* s = nullptr;
    const int r = swr_alloc_set_opts2(&s, &outLayout, AV_SAMPLE_FMT_S16, granted_.freq,
                                      const_cast<AVChannelLayout*>(&f->ch_layout), static_cast<AVSampleFormat>(f->format),
                                      f->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    resampler_.reset(s);
    if (r < 0 || swr_init(s) < 0) {
      LOG(ERROR) << "swr set open or swr init error";
      resampler_.reset();
      return false;
    }
    swrFormat_ = f->format;
    swrRate_ = f->sample_rate;
    av_channel_layout_uninit(&swrLayout_);
    av_channel_layout_copy(&swrLayout_, &f->ch_layout);
  }
  const int outSamples = static_cast<int>(av_rescale_rnd(
      swr_get_delay(resampler_.get(), f->sample_rate) + f->nb_samples, granted_.freq,
      f->sample_rate, AV_ROUND_UP));
  const size_t bytes = static_cast<size_t>(outSamples) * granted_.channels * 2;
  if (buffer_.size() < bytes) buffer_.resize(bytes);
  std::uint8_t* outData = buffer_.data();
  const int got = swr_convert(resampler_.get(), &outData, outSamples,
                              const_cast<const std::uint8_t**>(f->extended_data), f->nb_samples);
  if (got < 0) {
    LOG(ERROR) << "audio conversion error: " << AvError(got);
    return false;
  }
  bufferSize_ = got * granted_.channels * 2;
  return bufferSize_ > 0;
}

}  // namespace kal
