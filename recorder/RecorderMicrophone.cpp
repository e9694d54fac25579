// The microphone path: the first capture device through FFmpeg's "pulse"
// input, resampled to 32 kHz mono, cleaned in 10 ms chunks, resampled to the
// encoder's format and handed over in micFifo.

#include <cstring>

#include <glog/logging.h>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

#include "config/ConfigKeys.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"
#include "recorder/VoiceProcessor.h"

namespace kal {

constexpr int kTargetRate = 44100;
constexpr int kMicFifoSeconds = 6;
// 2 s of 32 kHz samples waiting to be cut into 10 ms chunks.
constexpr int kAccumulationSamples = 64000;
constexpr std::chrono::milliseconds kMicFifoWait{400};
// Small capture fragments keep the microphone's delay short.
constexpr const char* kPulseFragmentBytes = "1920";

int Recorder::PrepareMicrophone() {
  const AVInputFormat* pulse = av_find_input_format("pulse");
  if (!pulse) {
    LOG(ERROR) << "dshow not soport";
    return -1;
  }
  micDevices_ = EnumerateCaptureDevices(CaptureKind::kMicrophone);
  if (micDevices_.empty()) {
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
  micResampler_.reset(swr);
  if (swr_init(swr) < 0) {
    LOG(ERROR) << "Failed to initialize the resampling context";
    return -1;
  }
  micFifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, kTargetRate * kMicFifoSeconds));
  if (!micFifo_) {
    LOG(ERROR) << "Could not allocate audio fifo";
    return -1;
  }
  return 0;
}

// Waits for room (never overwrites, never drops) until a stop.
bool Recorder::WriteMicFifo(std::uint8_t** data, int samples) {
  {
    std::unique_lock<std::mutex> lock(micFifoLock_);
    while (av_audio_fifo_space(micFifo_.get()) < samples) {
      LOG(ERROR) << "audio fifo space is not enough";
      if (stopRequested_) return false;
      micFifoCond_.wait_for(lock, kMicFifoWait);
    }
    av_audio_fifo_write(micFifo_.get(), reinterpret_cast<void**>(data), samples);
  }
  micFifoCond_.notify_all();
  return true;
}

namespace {

// Throws away what the device has buffered so far. FFmpeg's pulse input
// cannot flush or read without blocking, so packets are read until one has
// to be waited for: that one is fresh.
void DiscardBuffered(AVFormatContext* ic) {
  constexpr std::int64_t kFreshPacketWaitMicros = 3000;
  constexpr int kMaxDiscarded = 200;
  avformat_flush(ic);
  PacketPtr p = MakePacket();
  for (int i = 0; i < kMaxDiscarded; ++i) {
    const std::int64_t before = av_gettime_relative();
    if (av_read_frame(ic, p.get()) < 0) return;
    av_packet_unref(p.get());
    if (av_gettime_relative() - before > kFreshPacketWaitMicros) return;
  }
}

// Owns what the microphone thread allocates for itself.
struct MicState {
  InputContextPtr input;
  CodecContextPtr decoder;
  SwrPtr firstStage;
  VoiceProcessor voice;
  std::vector<std::int16_t> accumulated;  // 32 kHz mono samples not yet processed
  std::vector<std::int16_t> converted;
  std::vector<std::int16_t> processed;
  std::vector<std::uint8_t> planeL;
  std::vector<std::uint8_t> planeR;
};

}  // namespace

void Recorder::MicrophoneCapture() {
  const std::int64_t started = av_gettime_relative();
  MicState m;
  FramePtr frame = MakeFrame();
  int result = -1;
  const auto finish = [&] {
    Trace("micophone audio capture thread exit\n");
    micDone_ = true;
    micFifoCond_.notify_all();
  };
  if (!m.voice.Init(microphoneCheck_ != 0, voiceSize_)) return finish();

  const std::string url = micDevices_.front().displayName;
  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "fragment_size", kPulseFragmentBytes, 0);
  AVFormatContext* ic = nullptr;
  int ret = avformat_open_input(&ic, url.c_str(), av_find_input_format("pulse"), &opts);
  av_dict_free(&opts);
  if (ret < 0) {
    LOG(ERROR) << "psDevName:" << url;
    LOG(ERROR) << "avformat_open_input err,ret=" << ret << ",errstr=" << AvError(ret);
    return finish();
  }
  m.input.reset(ic);
  LOG(ERROR) << "avformat_open_input time: " << (av_gettime_relative() - started);
  // The pulse input describes its stream in its header; probing it would
  // only sit on seconds of sound.
  if (ic->nb_streams == 0) {
    LOG(ERROR) << "not found audio stream";
    return finish();
  }
  const int streamIndex = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (streamIndex < 0) {
    LOG(ERROR) << "Didn't find a audio stream";
    return finish();
  }
  const AVCodecParameters* par = ic->streams[streamIndex]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  m.decoder.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
  if (!m.decoder || avcodec_parameters_to_context(m.decoder.get(), par) < 0 ||
      avcodec_open2(m.decoder.get(), codec, nullptr) < 0) {
    LOG(ERROR) << "can not find or open audio decoder!";
    return finish();
  }
  AVCodecContext* dec = m.decoder.get();
  if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    const int channels = dec->ch_layout.nb_channels;
    av_channel_layout_uninit(&dec->ch_layout);
    av_channel_layout_default(&dec->ch_layout, channels);
    LOG(ERROR) << "src_ch_layout0 : " << channels;
  }
  LOG(INFO) << "src_rate: " << dec->sample_rate;
  LOG(INFO) << "src_sample_fmt: " << av_get_sample_fmt_name(dec->sample_fmt);
  LOG(INFO) << "src_nb_channels: " << dec->ch_layout.nb_channels;
  LOG(INFO) << "dst_nb_channels: 2";
  LOG(INFO) << "dst_rate: " << kTargetRate;
  LOG(INFO) << "dst_sample_fmt: fltp";
  LOG(ERROR) << "audio init time:" << (av_gettime_relative() - started);

  m.accumulated.reserve(kAccumulationSamples);
  PacketPtr packet = MakePacket();
  result = 0;
  while (!stopRequested_) {
    // Start alignment: throw away what the device buffered before all
    // sources are ready.
    if (voiceSource_ == 0) {
      while (!(micReady_ && speakerReady_) && !stopRequested_) {
        DiscardBuffered(ic);
        micReady_ = true;
      }
    } else if (!micReady_) {
      DiscardBuffered(ic);
      micReady_ = true;
    }
    if (av_read_frame(ic, packet.get()) < 0) {
      LOG(ERROR) << "read audio packet err";
      if (stopRequested_) break;
      // A vanished device: do not spin on it.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (!capturing_ || packet->stream_index != streamIndex) {
      av_packet_unref(packet.get());  // paused: nothing is kept
      continue;
    }
    ret = avcodec_send_packet(dec, packet.get());
    av_packet_unref(packet.get());
    if (ret < 0 || avcodec_receive_frame(dec, frame.get()) < 0) {
      LOG(ERROR) << "can not decoder a frame";
      continue;
    }
    if (!m.firstStage) {
      AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
      SwrContext* swr = nullptr;
      if (swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, VoiceProcessor::kSampleRate,
                              &dec->ch_layout, dec->sample_fmt, dec->sample_rate, 0,
                              nullptr) < 0 ||
          !swr) {
        LOG(ERROR) << "swr alloc error";
        result = -1;
        break;
      }
      m.firstStage.reset(swr);
      if (swr_init(swr) < 0) {
        LOG(ERROR) << "swr init error";
        result = -1;
        break;
      }
    }
    const int room = static_cast<int>(av_rescale_rnd(
        swr_get_delay(m.firstStage.get(), dec->sample_rate) + frame->nb_samples,
        VoiceProcessor::kSampleRate, dec->sample_rate, AV_ROUND_UP));
    m.converted.resize(static_cast<size_t>(room));
    std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(m.converted.data())};
    const int got = swr_convert(m.firstStage.get(), out, room,
                                const_cast<const std::uint8_t**>(frame->extended_data),
                                frame->nb_samples);
    av_frame_unref(frame.get());
    if (got < 0) {
      LOG(ERROR) << "Error while converting";
      result = -1;
      break;
    }

    // Cut into 10 ms chunks; whatever does not fit waits for the next pass.
    m.processed.clear();
    int taken = 0;
    while (taken < got) {
      const int fit = std::min(got - taken, kAccumulationSamples - static_cast<int>(m.accumulated.size()));
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
    if (m.processed.empty()) continue;

    const int inSamples = static_cast<int>(m.processed.size());
    const int outSamples = static_cast<int>(av_rescale_rnd(
        swr_get_delay(micResampler_.get(), VoiceProcessor::kSampleRate) + inSamples, kTargetRate,
        VoiceProcessor::kSampleRate, AV_ROUND_UP));
    m.planeL.resize(static_cast<size_t>(outSamples) * sizeof(float));
    m.planeR.resize(static_cast<size_t>(outSamples) * sizeof(float));
    std::uint8_t* planes[2] = {m.planeL.data(), m.planeR.data()};
    const std::uint8_t* in[1] = {reinterpret_cast<const std::uint8_t*>(m.processed.data())};
    const int made = swr_convert(micResampler_.get(), planes, outSamples, in, inSamples);
    if (made < 0) {
      LOG(ERROR) << "Error while converting";
      result = -1;
      break;
    }
    if (made > 0 && !WriteMicFifo(planes, made)) break;
  }
  if (result != 0) LOG(ERROR) << "microphone thread ends on an error";
  finish();
}

}  // namespace kal
