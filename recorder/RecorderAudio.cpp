// The audio side: which sources a session uses, the AAC encoder and the
// audio stream, the file header, and the audio turns of the encode thread.

#include <glog/logging.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace kal {

// The hand-over format of every audio source, and the encoder's input.
constexpr int kSampleRate = 44100;
constexpr int kFrameSamples = 1024;
constexpr std::int64_t kAudioBitRate = 128000;

void Recorder::SourceCheck() {
  if (audioMuteCheck_) {
    audioMuted_ = true;
    return;
  }
  // No capture source is wired into the engine yet: the track holds silence.
  audioMuted_ = true;
}

int Recorder::AudioSetup() { return SetupAudioEncoder(); }

int Recorder::SetupAudioEncoder() {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) {
    LOG(ERROR) << "audio codec not found";
    return -1;
  }
  AVFormatContext* oc = output_.get();
  if (!(oc->oformat->flags & AVFMT_NOFILE)) {
    // An unwritable folder must fail the start, not record into nothing.
    const int ret = avio_open(&oc->pb, fileName_.c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) {
      LOG(ERROR) << "cannot open the output file " << fileName_ << ": " << AvError(ret);
      return -1;
    }
    fileCreated_ = true;
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
  return avformat_write_header(oc, nullptr) < 0 ? -1 : 0;
}

bool Recorder::AudioTurn(bool draining) {
  FramePtr frame = MakeFrame();
  frame->nb_samples = kFrameSamples;
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = kSampleRate;
  av_channel_layout_copy(&frame->ch_layout, &audioEncoder_->ch_layout);
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
  // Muted: digital silence as long as the picture.
  av_samples_set_silence(frame->data, 0, kFrameSamples, 2, AV_SAMPLE_FMT_FLTP);
  return EncodeAudio(frame.get());
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
  const int ret = av_interleaved_write_frame(output_.get(), packet);
  if (ret < 0) LOG(ERROR) << "write audio frame err,ret= " << ret;
}

}  // namespace kal
