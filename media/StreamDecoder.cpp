#include "media/StreamDecoder.h"

#include <glog/logging.h>

namespace kal {

bool StreamDecoder::Open(const AVStream* stream, const char* kind, bool threads, std::string& why) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) {
    why = std::string(kind) + " Codec not found.";
    return false;
  }
  decoder_.reset(avcodec_alloc_context3(codec));
  AVDictionary* options = nullptr;
  if (threads) av_dict_set(&options, "threads", "auto", 0);
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

bool StreamDecoder::CatchUp() {
  if (serial_ < 0 || queue_.Serial() == serial_) return false;
  avcodec_flush_buffers(decoder_.get());
  pending_.reset();
  primed_ = false;
  serial_ = queue_.Serial();
  endedSerial_ = -1;
  return true;
}

const AVFrame* StreamDecoder::Next() {
  CatchUp();
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
      // EAGAIN: the decoder wants more; anything else spoils one frame.
      if (r != AVERROR(EAGAIN)) LOG(ERROR) << "decode error: " << AvError(r);
    }
    int serial = pendingSerial_;
    const bool fromPending = pending_ != nullptr;
    PacketPtr p;
    if (fromPending) {
      p = std::move(pending_);
    } else if (queue_.Pop(std::chrono::milliseconds(0), &p, &serial) != Popped::kItem) {
      return nullptr;
    }
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

}  // namespace kal
