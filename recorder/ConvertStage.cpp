#include "recorder/ConvertStage.h"

#include <cstring>
#include <stdexcept>

#include <glog/logging.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "recorder/Trace.h"

namespace kal {

// The longest wait for a packet; the reader's end or a stop wakes it sooner.
constexpr std::chrono::milliseconds kQueueWait{400};

int ConvertStage::Setup(CodecContextPtr decoder) {
  decoder_ = std::move(decoder);
  if (!decoder_) return -1;
  // A watermark that cannot be drawn fails the start rather than leaving
  // the converter without its graph.
  if (session_.settings.watermark != WatermarkKind::kNone &&
      watermark_.Build(session_.settings, session_.width, session_.height, decoder_.get(),
                       decoder_->pix_fmt) != 0)
    return -1;
  return out_.Allocate(session_.width, session_.height) ? 0 : -1;
}

// A picture that cannot be decoded, watermarked or converted ends the
// recording: what follows would be as broken, and the stop finishes the
// file with what came before.
void ConvertStage::Body() {
  FramePtr decoded = MakeFrame();
  FramePtr filtered = MakeFrame();
  const bool camera = session_.settings.videoSource == VideoSource::kCamera;
  placer_ = PicturePlacer(session_.frameRate);
  for (;;) {
    // After a stop, what the reader queued is still converted: only its
    // close ends the loop.
    PacketPtr packet;
    const Popped got = in_.Pop(kQueueWait, &packet);
    if (got == Popped::kClosed) break;
    if (got == Popped::kNothingYet) continue;
    if (packet->size == 0) {
      // The screen did not change or its grab failed; the camera is gone.
      if (!camera) RepeatIntoFifo(packet->pts);
      else if (lastSlot_) PlaceCameraPicture(*packet, nullptr);
      continue;
    }
    if (!Decode(packet.get(), decoded.get())) continue;  // no picture out of it yet
    AVFrame* picture = decoded.get();
    if (watermark_.Built()) {
      if (!watermark_.Apply(decoded.get(), filtered.get()))
        throw std::runtime_error("the watermark could not be drawn");
      picture = filtered.get();
    }
    if (camera) PlaceCameraPicture(*packet, picture);
    else if (!ConvertIntoFifo(picture, packet->pts)) throw std::runtime_error("a picture could not be converted");
    av_frame_unref(decoded.get());
    av_frame_unref(filtered.get());
  }
  Trace("video decode thread exit\n");
}

// True with a picture in `decoded`; false when the decoder holds the
// packet back for now (a decoder with delay gives its first picture late).
bool ConvertStage::Decode(AVPacket* packet, AVFrame* decoded) {
  int ret = avcodec_send_packet(decoder_.get(), packet);
  if (ret >= 0 || ret == AVERROR(EAGAIN)) ret = avcodec_receive_frame(decoder_.get(), decoded);
  if (ret == AVERROR(EAGAIN)) return false;
  if (ret < 0) {
    Trace("err: %s\n", AvError(ret).c_str());
    throw std::runtime_error("a picture could not be decoded: " + AvError(ret));
  }
  return true;
}

void ConvertStage::PlaceCameraPicture(const AVPacket& packet, const AVFrame* picture) {
  const int copies = placer_.Copies(packet.pts);
  if (copies == 0) return;  // a surplus picture of a camera running fast
  session_.counters.picturesRepeated += copies - 1;
  const std::int64_t first = placer_.Written() - copies;
  int from = 0;
  if (picture) {
    if (!ConvertIntoFifo(picture, first)) throw std::runtime_error("a picture could not be converted");
    from = 1;
  }
  for (int i = from; i < copies; ++i) RepeatIntoFifo(first + i);
}

// The FIFO's next free slot, once there is room. Without one (the encoder
// has ended, or no memory is left) the picture is left out and counted.
std::uint8_t* ConvertStage::FreeSlot() {
  std::uint8_t* slot = out_.WaitFreeSlot();
  if (!slot) ++session_.counters.picturesDropped;
  return slot;
}

// Converts straight into the FIFO's next free slot. False when the picture
// cannot be converted.
bool ConvertStage::ConvertIntoFifo(const AVFrame* picture, std::int64_t pts) {
  std::uint8_t* slot = FreeSlot();
  if (!slot) return true;
  std::uint8_t* planes[4] = {};
  int linesizes[4] = {};
  if ((session_.faults && session_.faults->conversionFails) ||
      av_image_fill_arrays(planes, linesizes, slot, AV_PIX_FMT_YUV420P, session_.width,
                           session_.height, 1) < 0 ||
      !converter_.Convert(picture, session_.width, session_.height, planes, linesizes))
    return false;
  out_.Commit(pts);
  lastSlot_ = slot;
  return true;
}

// The last picture again. Only this thread writes slots, so the last one
// still holds it; when the encoder is done with it, it is the very slot
// handed out again and nothing needs copying.
void ConvertStage::RepeatIntoFifo(std::int64_t pts) {
  if (!lastSlot_) return;
  std::uint8_t* slot = FreeSlot();
  if (!slot) return;
  if (slot != lastSlot_) std::memcpy(slot, lastSlot_, static_cast<std::size_t>(out_.PictureSize()));
  out_.Commit(pts);
  lastSlot_ = slot;
}

}  // namespace kal
