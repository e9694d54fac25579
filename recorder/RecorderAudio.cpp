// The audio side: which sources a session uses, the AAC encoder and the
// audio stream, the file header, and the audio turns of the encode thread.

#include <cerrno>
#include <cstring>

#include <glog/logging.h>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include "recorder/MixerWrap.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace kal {

// The hand-over format of every audio source, and the encoder's input.
constexpr int kSampleRate = 44100;
constexpr int kFrameSamples = 1024;
constexpr std::int64_t kAudioBitRate = 128000;
constexpr std::chrono::milliseconds kAudioPoll{10};
// How long a drain waits for the system-sound thread's last block.
constexpr std::chrono::milliseconds kSpeakerDrainWait{1000};

void Recorder::SourceCheck() {
  if (settings_.audioMuteCheck) {
    audioMuted_ = true;
    return;
  }
  std::string micName;
  const bool mic = HasDefaultCaptureEndpoint(micName);
  const bool render = HasDefaultRenderEndpoint();
  // A wanted source that is not there is told, never silently left out.
  const bool wantsMic = WantsMicrophone(settings_.voiceSource);
  const bool wantsSystem = WantsSystemSound(settings_.voiceSource);
  if (wantsMic && !mic) ReportSoundLost(kSoundMicrophone, "no microphone found", false);
  if (wantsSystem && !render)
    ReportSoundLost(kSoundSystem, "no playback device to record system sound from", false);
  switch (settings_.voiceSource) {
    case VoiceSource::kBoth:
      if (!mic && !render) {
        audioMuted_ = true;
      } else if (!mic) {
        settings_.voiceSource = VoiceSource::kSystem;
      } else if (!render) {
        settings_.voiceSource = VoiceSource::kMicrophone;
      }
      break;
    case VoiceSource::kMicrophone:
      audioMuted_ = !mic;
      break;
    case VoiceSource::kSystem:
      audioMuted_ = !render;
      break;
    case VoiceSource::kNone:
      audioMuted_ = true;  // an unknown choice records no sound
      break;
  }
  LOG(INFO) << "sound: "
            << (audioMuted_ ? "muted"
                            : "voice-source " + std::to_string(static_cast<int>(settings_.voiceSource)));
}

int Recorder::AudioSetup() {
  if (!audioMuted_ && WantsMicrophone(settings_.voiceSource)) {
    const int ret = PrepareMicrophone();
    if (ret != 0) return ret;
  }
  if (!audioMuted_ && WantsSystemSound(settings_.voiceSource)) {
    speakerFifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, kSampleRate * 3));
    if (!speakerFifo_) return -1;
  }
  return SetupAudioEncoder();
}

int Recorder::BuildMixGraph() {
  const AVFilter* abuffer = avfilter_get_by_name("abuffer");
  const AVFilter* abuffersink = avfilter_get_by_name("abuffersink");
  mixGraph_.reset(avfilter_graph_alloc());
  if (!abuffer || !abuffersink || !mixGraph_) return -1;
  char args[512];
  std::snprintf(args, sizeof args,
                "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=stereo",
                audioEncoder_->time_base.num, audioEncoder_->time_base.den,
                audioEncoder_->sample_rate, av_get_sample_fmt_name(audioEncoder_->sample_fmt));
  Trace("args_spk: %s\n", args);
  Trace("args_mic: %s\n", args);
  AVFilterGraph* g = mixGraph_.get();
  if (avfilter_graph_create_filter(&mixSpeaker_, abuffer, "in0", args, nullptr, g) < 0) {
    LOG(ERROR) << "Filter: failed to call avfilter_graph_create_filter -- src spk";
    return -1;
  }
  if (avfilter_graph_create_filter(&mixMic_, abuffer, "in1", args, nullptr, g) < 0) {
    LOG(ERROR) << "Filter: failed to call avfilter_graph_create_filter -- src mic";
    return -1;
  }
  if (avfilter_graph_create_filter(&mixSink_, abuffersink, "out", nullptr, nullptr, g) < 0) {
    LOG(ERROR) << "Filter: failed to call avfilter_graph_create_filter -- sink";
    return -1;
  }
  const AVSampleFormat fmts[] = {audioEncoder_->sample_fmt, AV_SAMPLE_FMT_NONE};
  if (av_opt_set_int_list(mixSink_, "sample_fmts", fmts, AV_SAMPLE_FMT_NONE,
                          AV_OPT_SEARCH_CHILDREN) < 0) {
    LOG(ERROR) << "Filter: failed to call av_opt_set_bin -- sample_fmts";
    return -1;
  }
  if (av_opt_set(mixSink_, "ch_layouts", "stereo", AV_OPT_SEARCH_CHILDREN) < 0) {
    LOG(ERROR) << "Filter: failed to call av_opt_set_bin -- channel_layouts";
    return -1;
  }
  const int rates[] = {audioEncoder_->sample_rate, -1};
  if (av_opt_set_int_list(mixSink_, "sample_rates", rates, -1, AV_OPT_SEARCH_CHILDREN) < 0) {
    LOG(ERROR) << "Filter: failed to call av_opt_set_bin -- sample_rates";
    return -1;
  }
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* second = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  int ret = -1;
  if (outputs && second && inputs) {
    outputs->name = av_strdup("in0");
    outputs->filter_ctx = mixSpeaker_;
    outputs->next = second;
    second->name = av_strdup("in1");
    second->filter_ctx = mixMic_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = mixSink_;
    second = nullptr;  // now owned by `outputs`
    if (avfilter_graph_parse_ptr(g, "[in0][in1]amix=inputs=2[out]", &inputs, &outputs, nullptr) < 0) {
      LOG(ERROR) << "Filter: failed to call avfilter_graph_parse_ptr";
    } else if (avfilter_graph_config(g, nullptr) < 0) {
      LOG(ERROR) << "Filter: failed to call avfilter_graph_config";
    } else {
      ret = 0;
    }
  }
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  avfilter_inout_free(&second);
  return ret;
}

int Recorder::SetupAudioEncoder() {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) {
    LOG(ERROR) << "audio codec not found";
    return -1;
  }
  AVFormatContext* oc = output_.get();
  if (!(oc->oformat->flags & AVFMT_NOFILE)) {
    // An unwritable folder must fail the start, not record into nothing.
    // Written under a temporary name until finished (see Recovery.h), and
    // locked for the session's whole life so that no recovery takes it.
    // An unfinished file of the same name is never written over.
    if (!partLock_.TryLock(PartPath(), platform::FileLock::Open::kCreateNew)) {
      LOG(ERROR) << "cannot create " << PartPath() << ": " << std::strerror(errno);
      return -1;
    }
    fileCreated_ = true;
    const int ret = avio_open(&oc->pb, PartPath().c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) {
      LOG(ERROR) << "cannot open the output file " << fileName_ << ": " << AvError(ret);
      return -1;
    }
  }
  audioStream_ = avformat_new_stream(oc, nullptr);
  audioEncoder_.reset(avcodec_alloc_context3(codec));
  if (!audioStream_ || !audioEncoder_) return -1;
  AVCodecContext* c = audioEncoder_.get();
  c->codec_id = AV_CODEC_ID_AAC;
  c->codec_type = AVMEDIA_TYPE_AUDIO;
  c->bit_rate = kAudioBitRate;
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  c->sample_rate = kSampleRate;
  c->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
  c->time_base = AVRational{1, kSampleRate};
  c->codec_tag = 0;
  c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  audioStream_->time_base = AVRational{1, kSampleRate};
  if (avcodec_open2(c, codec, nullptr) < 0) {
    LOG(ERROR) << "open audio encode err";
    return -1;
  }
  if (avcodec_parameters_from_context(audioStream_->codecpar, c) < 0) return -1;
  av_dump_format(oc, 0, fileName_.c_str(), 1);
  // Each packet reaches the file at once, and MP4/MOV are written in
  // fragments of at most one key-frame interval: a killed recording keeps
  // all but its last two seconds.
  oc->flags |= AVFMT_FLAG_FLUSH_PACKETS;
  AVDictionary* opts = nullptr;
  if (extension_ == "mp4" || extension_ == "mov") {
    av_dict_set(&opts, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
  }
  const int ret = avformat_write_header(oc, &opts);
  av_dict_free(&opts);
  return ret < 0 ? -1 : 0;
}

namespace {

FramePtr MakeAudioFrame(const AVCodecContext* enc, bool withBuffer) {
  FramePtr f = MakeFrame();
  f->nb_samples = kFrameSamples;
  f->format = AV_SAMPLE_FMT_FLTP;
  f->sample_rate = kSampleRate;
  av_channel_layout_copy(&f->ch_layout, &enc->ch_layout);
  if (withBuffer && av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
  return f;
}

}  // namespace

bool Recorder::AudioTurn(bool draining) {
  FramePtr mic = MakeAudioFrame(audioEncoder_.get(), true);
  FramePtr speaker = MakeAudioFrame(audioEncoder_.get(), true);
  if (!mic || !speaker) return false;
  if (audioMuted_) {
    av_samples_set_silence(speaker->data, 0, kFrameSamples, 2, AV_SAMPLE_FMT_FLTP);
    return EncodeAudio(speaker.get());
  }
  switch (settings_.voiceSource) {
    case VoiceSource::kMicrophone:
      if (!TakeMicrophone(mic.get(), draining)) return false;
      return EncodeAudio(mic.get());
    case VoiceSource::kSystem:
      TakeSystemSound(speaker.get(), draining);
      return EncodeAudio(speaker.get());
    default: {
      if (!TakeMicrophone(mic.get(), draining)) return false;
      TakeSystemSound(speaker.get(), draining);
      FramePtr mixed = MakeAudioFrame(audioEncoder_.get(), false);
      if (!MixFrames(mic.get(), speaker.get(), mixed.get())) return false;
      return EncodeAudio(mixed.get());
    }
  }
}

// 1024 microphone samples. Waits for them while recording; when the
// microphone thread has ended (device gone) or the file is being finished,
// silence makes up what is missing so the picture is never held up.
bool Recorder::TakeMicrophone(AVFrame* frame, bool draining) {
  {
    std::unique_lock<std::mutex> lock(micFifoLock_);
    if (!micFifo_) {
      LOG(ERROR) << "audio fifo is null";
      return false;
    }
    while (av_audio_fifo_size(micFifo_.get()) < kFrameSamples && !draining && !micDone_) {
      if (stopRequested_) {
        lock.unlock();
        micFifoCond_.notify_all();
        return false;
      }
      micFifoCond_.wait_for(lock, kAudioPoll);
    }
    av_samples_set_silence(frame->data, 0, kFrameSamples, 2, AV_SAMPLE_FMT_FLTP);
    av_audio_fifo_read(micFifo_.get(), reinterpret_cast<void**>(frame->data), kFrameSamples);
  }
  micFifoCond_.notify_all();
  return true;
}

// Up to 1024 samples of system sound, silence for the rest; silence at
// once while nothing plays.
void Recorder::TakeSystemSound(AVFrame* frame, bool draining) {
  av_samples_set_silence(frame->data, 0, kFrameSamples, 2, AV_SAMPLE_FMT_FLTP);
  const auto enough = [this] {
    std::lock_guard<std::mutex> lock(speakerFifoLock_);
    return av_audio_fifo_size(speakerFifo_.get()) >= kFrameSamples;
  };
  if (!draining) {
    if (!speakerActive_) return;
    while (!stopRequested_ && speakerActive_ && !speakerDone_ && !enough())
      std::this_thread::sleep_for(kAudioPoll);
  }
  if (draining || stopRequested_) {
    // The system-sound thread hands over its last partial block as it ends.
    const auto deadline = std::chrono::steady_clock::now() + kSpeakerDrainWait;
    while (!speakerDone_ && !enough() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(kAudioPoll);
  }
  std::lock_guard<std::mutex> lock(speakerFifoLock_);
  av_audio_fifo_read(speakerFifo_.get(), reinterpret_cast<void**>(frame->data), kFrameSamples);
}

bool Recorder::MixFrames(AVFrame* mic, AVFrame* speaker, AVFrame* mixed) {
  mic->pts = speaker->pts = audioSamplesIn_;
  int ret = av_buffersrc_add_frame_flags(mixMic_, mic, AV_BUFFERSRC_FLAG_KEEP_REF);
  if (ret < 0) {
    LOG(ERROR) << "audio mic frame add  filtergraph error, ret=" << ret;
    return false;
  }
  ret = av_buffersrc_add_frame_flags(mixSpeaker_, speaker, AV_BUFFERSRC_FLAG_KEEP_REF);
  if (ret < 0) {
    LOG(ERROR) << "audio spk frame add  filtergraph error, ret=" << ret;
    return false;
  }
  ret = av_buffersink_get_frame(mixSink_, mixed);
  if (ret < 0) {
    LOG(ERROR) << "get audio frame from filtergraph error, ret=" << ret;
    return false;
  }
  return true;
}

// Submits one frame (nullptr: drain) and writes what comes out. Timestamps
// count samples written, converted as a whole so no rounding accumulates in
// containers whose time base is not 1/44100.
bool Recorder::EncodeAudio(AVFrame* frame) {
  if (frame) {
    frame->pts = audioSamplesIn_;
    audioSamplesIn_ += frame->nb_samples;
  }
  int ret = avcodec_send_frame(audioEncoder_.get(), frame);
  if (ret < 0 && ret != AVERROR_EOF) {
    Trace("audio encode err,times=%d, ret=%d, got_picture=%d\n", 0, ret, 0);
    return false;
  }
  bool wrote = false;
  PacketPtr packet = MakePacket();
  while (avcodec_receive_packet(audioEncoder_.get(), packet.get()) >= 0) {
    WriteAudioPacket(packet.get());
    av_packet_unref(packet.get());
    wrote = true;
  }
  return wrote;
}

void Recorder::WriteAudioPacket(AVPacket* packet) {
  const AVRational sampleBase{1, kSampleRate};
  const int samples = packet->duration > 0 ? static_cast<int>(packet->duration) : kFrameSamples;
  const std::int64_t pts = av_rescale_q(audioSamplesOut_, sampleBase, audioStream_->time_base);
  audioSamplesOut_ += samples;
  packet->stream_index = audioStream_->index;
  packet->pts = packet->dts = pts;
  packet->duration = av_rescale_q(audioSamplesOut_, sampleBase, audioStream_->time_base) - pts;
  lastAudioPts_ = pts;
  ++audioFramesEncoded_;
  const int ret = writeFailed_ ? -1 : av_interleaved_write_frame(output_.get(), packet);
  if (ret < 0 && !writeFailed_) LOG(ERROR) << "write audio frame err,ret= " << ret;
  NoteWriteResult(ret);
}

}  // namespace kal
