#include "media/PictureDecoder.h"

#include <glog/logging.h>

namespace kal {

bool PictureDecoder::Open(const AVStream* stream, std::string& why) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) {
    why = "Video Codec not found.";
    return false;
  }
  decoder_.reset(avcodec_alloc_context3(codec));
  AVDictionary* options = nullptr;
  av_dict_set(&options, "threads", "auto", 0);
  const bool ok = decoder_ && avcodec_parameters_to_context(decoder_.get(), stream->codecpar) >= 0 &&
                  avcodec_open2(decoder_.get(), codec, &options) >= 0;
  av_dict_free(&options);
  if (!ok) {
    why = "Could not open codec.";
    return false;
  }
  timeBase_ = stream->time_base;
  return true;
}

const AVFrame* PictureDecoder::Next() {
  if (serial_ >= 0 && queue_.Serial() != serial_) {
    // A seek: nothing the decoder holds is shown.
    avcodec_flush_buffers(decoder_.get());
    pending_.reset();
    primed_ = false;
    serial_ = queue_.Serial();
    endedSerial_ = -1;
  }
  for (;;) {
    if (primed_) {
      av_frame_unref(frame_.get());
      const int r = avcodec_receive_frame(decoder_.get(), frame_.get());
      if (r == 0) return frame_.get();
      primed_ = false;
      if (r == AVERROR_EOF) {
        endedSerial_ = serial_;
        return nullptr;
      }
      // EAGAIN: the decoder wants more; anything else spoils one picture.
      if (r != AVERROR(EAGAIN)) LOG(ERROR) << "picture decode error: " << AvError(r);
    }
    int serial = pendingSerial_;
    const bool fromPending = pending_ != nullptr;
    PacketPtr p = fromPending ? std::move(pending_) : queue_.Pop(std::chrono::milliseconds(0), &serial);
    if (!p) return nullptr;
    if (serial != serial_) {
      if (serial_ >= 0) avcodec_flush_buffers(decoder_.get());
      serial_ = serial;
      endedSerial_ = -1;
    }
    const bool drain = !p->data && p->size == 0;
    const int r = avcodec_send_packet(decoder_.get(), drain ? nullptr : p.get());
    if (r == AVERROR(EAGAIN)) {
      pending_ = std::move(p);
      pendingSerial_ = serial;
    } else if (r < 0 && r != AVERROR_EOF) {
      LOG(ERROR) << "send decode packet error: " << AvError(r);
    }
    primed_ = true;
  }
}

bool PictureDecoder::Planes(const AVFrame* f, const std::uint8_t* planes[3], int pitches[3],
                            bool& planar) {
  // Most files are 4:2:0 already: SDL takes those planes as they are.
  planar = f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P;
  if (planar) {
    for (int i = 0; i < 3; ++i) {
      planes[i] = f->data[i];
      pitches[i] = f->linesize[i];
    }
    return true;
  }
  if (!ToYuyv(f)) return false;
  planes[0] = yuyv_.data();
  pitches[0] = pitch_;
  planes[1] = planes[2] = nullptr;
  pitches[1] = pitches[2] = 0;
  return true;
}

bool PictureDecoder::ToYuyv(const AVFrame* f) {
  scaler_ = sws_getCachedContext(scaler_, f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                 f->width, f->height, AV_PIX_FMT_YUYV422, SWS_BICUBIC, nullptr,
                                 nullptr, nullptr);
  if (!scaler_) {
    LOG(ERROR) << "no conversion of " << f->width << "x" << f->height << " pictures";
    return false;
  }
  pitch_ = f->width * 2;
  yuyv_.resize(static_cast<size_t>(pitch_) * f->height);
  std::uint8_t* planes[1] = {yuyv_.data()};
  const int lines[1] = {pitch_};
  return sws_scale(scaler_, f->data, f->linesize, 0, f->height, planes, lines) > 0;
}

}  // namespace kal
