// The video side: output context and H.264 encoder, the decode thread that
// turns source packets into yuv420p pictures, and the encode thread.

#include <algorithm>
#include <climits>
#include <cstring>

#include <glog/logging.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace kal {

constexpr std::chrono::milliseconds kFifoWait{400};
constexpr std::chrono::milliseconds kEncodeFifoWait{10};
constexpr std::chrono::milliseconds kEncodeGateWait{400};
// The decode thread's longest wait for a picture; a stop wakes it sooner.
constexpr std::chrono::milliseconds kQueueWait{400};

struct Recorder::EncodeBuffers {
  FramePtr frame = MakeFrame();
};

namespace {

// The encoder's reference to a FIFO slot ends: the slot is free again.
void ReleaseSlot(void* fifo, std::uint8_t*) { static_cast<VideoFifo*>(fifo)->Release(); }

}  // namespace

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

int Recorder::SetupOutput() {
  fileName_ = folder_ + "/" + fileName_;
  LOG(INFO) << "fileName: " << fileName_;
  AVFormatContext* oc = nullptr;
  avformat_alloc_output_context2(&oc, nullptr, nullptr, fileName_.c_str());
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

  LOG(ERROR) << "fps: " << frameRate_;
  videoStream_->time_base = AVRational{1, frameRate_};
  c->codec_id = AV_CODEC_ID_H264;
  c->codec_type = AVMEDIA_TYPE_VIDEO;
  c->width = videoWidth_;
  c->height = videoHeight_;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  TagColours(c);
  c->time_base = AVRational{1, frameRate_};
  c->framerate = AVRational{frameRate_, 1};
  // Large areas at high rates exceed the 32-bit bit rate: clamp it.
  const std::int64_t rate = std::min<std::int64_t>(videoDecoder_->bit_rate / 4, INT_MAX);
  c->bit_rate = rate;
  c->rc_min_rate = rate / 10;
  c->rc_max_rate = static_cast<std::int64_t>(rate * 1.5);
  c->flags |= AV_CODEC_FLAG_QSCALE;
  c->max_b_frames = 0;
  // A key picture at least every 2 s bounds what a crash can cost.
  c->gop_size = std::min(70, 2 * frameRate_);
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
  if (const char* crf = CrfForQuality(quality_)) av_dict_set(&options, "crf", crf, 0);
  const int ret = avcodec_open2(c, codec, &options);
  av_dict_free(&options);
  if (ret < 0) {
    LOG(ERROR) << "cann't open the encodec!";
    return -1;
  }
  if (avcodec_parameters_from_context(videoStream_->codecpar, c) < 0) return -1;
  return 0;
}

void Recorder::VideoDecodeThread() {
  FramePtr decoded = MakeFrame();
  FramePtr filtered = MakeFrame();
  for (;;) {
    PacketPtr packet = packetQueue_.Pop(kQueueWait);
    if (!packet) {
      // After a stop, what the reader queued is still decoded.
      if (packetQueue_.Finished()) break;
      continue;
    }
    if (packet->size == 0) {
      RepeatIntoFifo();  // the screen did not change
      continue;
    }
    // Screen pictures are bitmaps of our own making, used where they lie;
    // a camera's go through its decoder.
    int ret = 0;
    if (settings_.videoSource == VideoSource::kCamera ||
        !ScreenGrabber::WrapPicture(packet.get(), videoWidth_, videoHeight_, decoded.get())) {
      ret = avcodec_send_packet(videoDecoder_.get(), packet.get());
      if (ret >= 0) ret = avcodec_receive_frame(videoDecoder_.get(), decoded.get());
    }
    if (ret < 0) {
      Trace("err: %s\n", AvError(ret).c_str());
      LOG(ERROR) << "decode error";
      break;
    }
    AVFrame* picture = decoded.get();
    if (watermarkGraph_) {
      if (!ApplyWatermark(decoded.get(), filtered.get())) break;
      picture = filtered.get();
    }
    if (!ConvertIntoFifo(picture)) {
      LOG(ERROR) << "cannot convert the picture";
      break;
    }
    av_frame_unref(decoded.get());
    av_frame_unref(filtered.get());
  }
  Trace("video decode thread exit\n");
  DecodeEnded();
}

// The FIFO's next free slot, once there is room; nullptr when the encoder
// has ended.
std::uint8_t* Recorder::WaitForFreeSlot() {
  std::unique_lock<std::mutex> lock(videoFifo_.Lock());
  bool room = videoFifo_.HasRoom();
  while (!room && !encodeDone_) {
    Trace("video fifo space is not enough\n");
    videoFifo_.Cond().wait_for(lock, kFifoWait);
    room = videoFifo_.HasRoom();
  }
  return room ? videoFifo_.FreeSlot() : nullptr;
}

void Recorder::CommitSlot(std::uint8_t* slot) {
  {
    std::lock_guard<std::mutex> lock(videoFifo_.Lock());
    videoFifo_.Commit();
  }
  lastSlot_ = slot;
  videoFifo_.Cond().notify_all();
}

// Converts straight into the FIFO's next free slot. Without room (the
// encoder has ended) the picture is left out. False when it cannot be
// converted.
bool Recorder::ConvertIntoFifo(const AVFrame* picture) {
  std::uint8_t* slot = WaitForFreeSlot();
  if (!slot) return true;
  std::uint8_t* planes[4] = {};
  int linesizes[4] = {};
  if (av_image_fill_arrays(planes, linesizes, slot, AV_PIX_FMT_YUV420P, videoWidth_,
                           videoHeight_, 1) < 0 ||
      !converter_.Convert(picture, videoWidth_, videoHeight_, planes, linesizes))
    return false;
  CommitSlot(slot);
  return true;
}

// The last picture again. Only this thread writes slots, so the last one
// still holds it; when the encoder is done with it, it is the very slot
// handed out again and nothing needs copying.
void Recorder::RepeatIntoFifo() {
  if (!lastSlot_) return;
  std::uint8_t* slot = WaitForFreeSlot();
  if (!slot) return;
  if (slot != lastSlot_)
    std::memcpy(slot, lastSlot_, static_cast<std::size_t>(videoFifo_.PictureSize()));
  CommitSlot(slot);
}

bool Recorder::WaitEncodeGate() {
  std::unique_lock<std::mutex> lock(encodeGateLock_);
  while (!capturing_ && !stopRequested_) {
    Trace("encode thread lock\n");
    encodeGateCond_.wait_for(lock, kEncodeGateWait);
    Trace("encode thread unlock\n");
  }
  return !stopRequested_;
}

bool Recorder::VideoAhead() const {
  return av_compare_ts(lastVideoPts_, videoStream_->time_base, lastAudioPts_,
                       audioStream_->time_base) > 0;
}

void Recorder::EncodeThread() {
  EncodeBuffers b;
  while (WaitEncodeGate()) {
    if (encodeHeld_) {
      std::this_thread::sleep_for(kEncodeFifoWait);
      continue;
    }
    if (VideoAhead()) {
      AudioTurn(false);
    } else {
      VideoTurn(b, false);
    }
  }
  FinishEncoding(b);
  Trace("video encode thread exit\n");
  EncodeEnded();
}

// Takes one picture from the FIFO and encodes it. While recording, a stop
// ends the wait; while draining, the wait lasts until the decode thread has
// delivered everything. False when no picture came.
bool Recorder::VideoTurn(EncodeBuffers& b, bool draining) {
  std::uint8_t* slot = nullptr;
  {
    std::unique_lock<std::mutex> lock(videoFifo_.Lock());
    while (!videoFifo_.HasPicture()) {
      if (draining ? decodeDone_.load() : stopRequested_.load()) {
        lock.unlock();
        videoFifo_.Cond().notify_all();
        return false;
      }
      videoFifo_.Cond().wait_for(lock, kEncodeFifoWait);
    }
    slot = videoFifo_.TakeOldest();
  }

  // Encoded from the slot itself: a counted reference, so the encoder does
  // not copy it either; the slot is released when the encoder lets go.
  AVFrame* frame = b.frame.get();
  frame->buf[0] = av_buffer_create(slot, static_cast<size_t>(videoFifo_.PictureSize()),
                                   ReleaseSlot, &videoFifo_, 0);
  if (!frame->buf[0]) {
    videoFifo_.Release();
    return false;
  }
  av_image_fill_arrays(frame->data, frame->linesize, slot, AV_PIX_FMT_YUV420P, videoWidth_,
                       videoHeight_, 1);
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = videoWidth_;
  frame->height = videoHeight_;
  frame->pts = frameIndex_;
  EncodeVideo(frame);
  av_frame_unref(frame);
  ++frameIndex_;
  return true;
}

// One submission per picture: submitting a picture again would put it into
// the stream twice. Whatever the encoder holds back comes out at the end.
void Recorder::EncodeVideo(AVFrame* frame) {
  int ret = avcodec_send_frame(videoEncoder_.get(), frame);
  if (ret < 0 && ret != AVERROR_EOF) {
    Trace("video encode err,times=%d, ret=%d, got_picture=%d\n", 0, ret, 0);
    return;
  }
  PacketPtr packet = MakePacket();
  while ((ret = avcodec_receive_packet(videoEncoder_.get(), packet.get())) >= 0) {
    WriteVideoPacket(packet.get());
    av_packet_unref(packet.get());
  }
}

void Recorder::WriteVideoPacket(AVPacket* packet) {
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
  ++picturesEncoded_;
  const int ret = writeFailed_ ? -1 : av_interleaved_write_frame(output_.get(), packet);
  if (ret < 0 && !writeFailed_) LOG(ERROR) << "drop frame pkt:" << frameIndex_;
  NoteWriteResult(ret);
  const auto seconds =
      static_cast<std::int64_t>(lastVideoPts_ * av_q2d(videoStream_->time_base));
  if (seconds != lastSecondsPosted_) {
    lastSecondsPosted_ = seconds;
    if (owner_) owner_->RecordedSeconds(session_, seconds);
  }
}

// After a stop: encode the pictures still queued, let the encoder give up
// what it holds, and bring the sound up to the end of the picture.
void Recorder::FinishEncoding(EncodeBuffers& b) {
  if (writeFailed_) return;  // nothing more reaches the file
  // The audio encoder gives its first packet one frame late; more fruitless
  // turns than this in a row mean it gives nothing at all.
  constexpr int kMaxFruitlessAudioTurns = 4;
  int fruitless = 0;
  const auto audioTurn = [&] {
    fruitless = AudioTurn(true) ? 0 : fruitless + 1;
    return fruitless <= kMaxFruitlessAudioTurns;
  };
  for (;;) {
    if (VideoAhead()) {
      if (!audioTurn()) break;
    } else if (!VideoTurn(b, true)) {
      break;
    }
  }
  EncodeVideo(nullptr);
  while (VideoAhead() && audioTurn()) {
  }
  EncodeAudio(nullptr);
}

}  // namespace kal
