#include "recorder/OutputFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <glog/logging.h>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "recorder/PictureConverter.h"
#include "recorder/Recovery.h"
#include "recorder/SoundFormat.h"

namespace kal {

constexpr std::int64_t kAudioBitRate = 128000;

namespace {

const char* CrfForQuality(int quality) {
  switch (quality) {
    case 0: return "18";
    case 1: return "23";
    case 2: return "28";
    default: return nullptr;  // the encoder's own default
  }
}

bool WantsGlobalHeader(const std::string& ext) {
  return ext == "mp4" || ext == "mov" || ext == "mkv" || ext == "f4v";
}

}  // namespace

std::string OutputFile::PartPath() const { return path_ + kPartSuffix; }

int OutputFile::Open(const std::string& path, const std::string& extension,
                     std::int64_t sourceBitRate, int quality) {
  path_ = path;
  extension_ = extension;
  LOG(INFO) << "fileName: " << path_;
  AVFormatContext* oc = nullptr;
  avformat_alloc_output_context2(&oc, nullptr, nullptr, path_.c_str());
  if (!oc) {
    LOG(ERROR) << "Could not create output context";
    return -1;
  }
  output_.reset(oc);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (!codec) {
    LOG(ERROR) << "not found encoder";
    return -1;
  }
  videoStream_ = avformat_new_stream(oc, nullptr);
  videoEncoder_.reset(avcodec_alloc_context3(codec));
  if (!videoStream_ || !videoEncoder_) return -1;
  AVCodecContext* c = videoEncoder_.get();
  if (WantsGlobalHeader(extension_)) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  const int fps = session_.frameRate;
  LOG(ERROR) << "fps: " << fps;
  videoStream_->time_base = AVRational{1, fps};
  c->codec_id = AV_CODEC_ID_H264;
  c->codec_type = AVMEDIA_TYPE_VIDEO;
  c->width = session_.width;
  c->height = session_.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  TagColours(c);
  c->time_base = AVRational{1, fps};
  c->framerate = AVRational{fps, 1};
  // Large areas at high rates exceed the 32-bit bit rate: clamp it.
  const std::int64_t rate = std::min<std::int64_t>(sourceBitRate / 4, INT_MAX);
  c->bit_rate = rate;
  c->rc_min_rate = rate / 10;
  c->rc_max_rate = static_cast<std::int64_t>(rate * 1.5);
  c->flags |= AV_CODEC_FLAG_QSCALE;
  c->max_b_frames = 0;
  // A key picture at least every 2 s bounds what a crash can cost.
  c->gop_size = std::min(70, 2 * fps);
  c->qmin = 10;
  c->qmax = 51;
  c->qcompress = 0.6f;
  // x264 picks its threads (sliced under zerolatency, one per core), as
  // ffmpeg does: frame threads would each hold whole pictures, which at
  // 2160p costs hundreds of MB.
  c->thread_count = 0;

  AVDictionary* options = nullptr;
  av_dict_set(&options, "preset", "ultrafast", 0);
  av_dict_set(&options, "tune", "zerolatency", 0);
  av_dict_set(&options, "profile", "high", 0);
  if (const char* crf = CrfForQuality(quality)) av_dict_set(&options, "crf", crf, 0);
  const int ret = avcodec_open2(c, codec, &options);
  av_dict_free(&options);
  if (ret < 0) {
    LOG(ERROR) << "cann't open the encodec!";
    return -1;
  }
  return avcodec_parameters_from_context(videoStream_->codecpar, c) < 0 ? -1 : 0;
}

int OutputFile::Begin() {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) {
    LOG(ERROR) << "audio codec not found";
    return -1;
  }
  AVFormatContext* oc = output_.get();
  if (!(oc->oformat->flags & AVFMT_NOFILE)) {
    // An unwritable folder must fail the start, not record into nothing.
    // An unfinished file of the same name is never written over.
    if (!partLock_.TryLock(PartPath(), platform::FileLock::Open::kCreateNew)) {
      LOG(ERROR) << "cannot create " << PartPath() << ": " << std::strerror(errno);
      return -1;
    }
    created_ = true;
    const int ret = avio_open(&oc->pb, PartPath().c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) {
      LOG(ERROR) << "cannot open the output file " << path_ << ": " << AvError(ret);
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
  c->sample_rate = kSoundRate;
  c->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
  c->time_base = AVRational{1, kSoundRate};
  c->codec_tag = 0;
  c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  audioStream_->time_base = AVRational{1, kSoundRate};
  if (avcodec_open2(c, codec, nullptr) < 0) {
    LOG(ERROR) << "open audio encode err";
    return -1;
  }
  if (avcodec_parameters_from_context(audioStream_->codecpar, c) < 0) return -1;
  av_dump_format(oc, 0, path_.c_str(), 1);
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

bool OutputFile::VideoAhead() const {
  return av_compare_ts(lastVideoPts_, videoStream_->time_base, lastAudioPts_,
                       audioStream_->time_base) > 0;
}

void OutputFile::WriteVideo(AVPacket* packet) {
  // Each picture lasts one tick. Packets the encoder gives up at the end
  // come without a duration, and an MP4 would then leave the last one
  // outside its edit list.
  if (packet->duration <= 0) packet->duration = 1;
  av_packet_rescale_ts(packet, videoEncoder_->time_base, videoStream_->time_base);
  packet->stream_index = videoStream_->index;
  if (packet->pts == AV_NOPTS_VALUE || packet->dts == AV_NOPTS_VALUE) {
    packet->pts = packet->dts = 0;
    LOG(ERROR) << "unset pts";
  }
  lastVideoPts_ = packet->pts;
  ++session_.counters.picturesEncoded;
  const int ret = writeFailed_ ? -1 : av_interleaved_write_frame(output_.get(), packet);
  if (ret < 0 && !writeFailed_) LOG(ERROR) << "drop frame pkt:" << lastVideoPts_;
  NoteWriteResult(ret);
  const auto seconds = static_cast<std::int64_t>(lastVideoPts_ * av_q2d(videoStream_->time_base));
  if (seconds != lastSeconds_) {
    lastSeconds_ = seconds;
    if (session_.listener) session_.listener->SecondsWritten(seconds);
  }
}

// Timestamps count samples written, converted as a whole so no rounding
// accumulates in containers whose time base is not 1/44100.
void OutputFile::WriteAudio(AVPacket* packet) {
  const AVRational sampleBase{1, kSoundRate};
  const int samples =
      packet->duration > 0 ? static_cast<int>(packet->duration) : kSoundFrameSamples;
  const std::int64_t pts = av_rescale_q(audioSamplesOut_, sampleBase, audioStream_->time_base);
  audioSamplesOut_ += samples;
  packet->stream_index = audioStream_->index;
  packet->pts = packet->dts = pts;
  packet->duration = av_rescale_q(audioSamplesOut_, sampleBase, audioStream_->time_base) - pts;
  lastAudioPts_ = pts;
  ++session_.counters.audioFramesEncoded;
  const int ret = writeFailed_ ? -1 : av_interleaved_write_frame(output_.get(), packet);
  if (ret < 0 && !writeFailed_) LOG(ERROR) << "write audio frame err,ret= " << ret;
  NoteWriteResult(ret);
}

void OutputFile::NoteWriteResult(int ret) {
  constexpr int kWriteErrorsUntilStop = 5;
  if (ret >= 0) {
    writeErrorsInARow_ = 0;
    return;
  }
  if (++writeErrorsInARow_ < kWriteErrorsUntilStop || writeFailed_) return;
  const RecordFailure kind = ret == AVERROR(ENOSPC) ? kFailureDiskFull : kFailureWriteError;
  writeFailed_ = true;
  if (session_.listener)
    session_.listener->StageFailed(kind, kind == kFailureDiskFull
                                             ? "the disk is full"
                                             : "the file cannot be written: " + AvError(ret));
}

std::string OutputFile::Finish() {
  std::string problem;
  if (output_) {
    const int ret = av_write_trailer(output_.get());
    if (ret < 0) {
      LOG(ERROR) << "av_write_trailer error";
      if (!writeFailed_) problem = "its end could not be written: " + AvError(ret);
    }
  }
  Close();
  if (created_) {
    if (::rename(PartPath().c_str(), path_.c_str()) != 0) {
      const int err = errno;
      LOG(ERROR) << "cannot rename " << PartPath() << " to " << path_;
      if (problem.empty()) problem = "it could not be renamed to " + path_ + ": " + std::strerror(err);
      path_ = PartPath();  // where the recording is
    }
    created_ = false;
    partLock_.Release();
  }
  return problem;
}

void OutputFile::Discard() {
  Close();
  if (created_) ::unlink(PartPath().c_str());
  created_ = false;
  partLock_.Release();
}

void OutputFile::Close() {
  videoEncoder_.reset();
  audioEncoder_.reset();
  output_.reset();  // closes the file
  videoStream_ = audioStream_ = nullptr;
}

}  // namespace kal
