#include "recorder/EncodeStage.h"

#include <thread>

#include <glog/logging.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "recorder/SoundFormat.h"
#include "recorder/Trace.h"

namespace kal {

constexpr std::chrono::milliseconds kPictureWait{10};
constexpr std::chrono::milliseconds kEncodeGateWait{400};

namespace {

// The encoder's reference to a FIFO slot ends: the slot is free again.
void ReleaseSlot(void* fifo, std::uint8_t*) { static_cast<VideoFifo*>(fifo)->Release(); }

}  // namespace

void EncodeStage::Body() {
  RunGate& gate = session_.gate;
  const auto trace = [](bool before) {
    Trace(before ? "encode thread lock\n" : "encode thread unlock\n");
  };
  while (gate.WaitOpen(kEncodeGateWait, trace)) {
    if (session_.faults && session_.faults->encoderHeld) {
      std::this_thread::sleep_for(kPictureWait);
      continue;
    }
    if (file_.VideoAhead()) {
      AudioTurn(false);
    } else if (VideoTurn(false) == Popped::kClosed) {
      // The converter has ended before the stop (it reports why): no
      // picture will come, so waiting again would only spin.
      break;
    }
  }
  Drain();
  Trace("video encode thread exit\n");
}

// Takes one picture from the FIFO and encodes it. While recording, a stop
// ends the wait; while draining, the wait lasts until the converter has
// delivered everything.
Popped EncodeStage::VideoTurn(bool draining) {
  std::int64_t pts = 0;
  std::uint8_t* slot = nullptr;
  const Popped got = pictures_.TakeOldest(kPictureWait, draining, &slot, &pts);
  if (got != Popped::kItem) return got;
  // Encoded from the slot itself: a counted reference, so the encoder does
  // not copy it either; the slot is released when the encoder lets go.
  AVFrame* frame = frame_.get();
  frame->buf[0] = av_buffer_create(slot, static_cast<size_t>(pictures_.PictureSize()),
                                   ReleaseSlot, &pictures_, 0);
  if (!frame->buf[0]) {
    pictures_.Release();
    return Popped::kItem;  // this one is lost, the next may not be
  }
  av_image_fill_arrays(frame->data, frame->linesize, slot, AV_PIX_FMT_YUV420P, session_.width,
                       session_.height, 1);
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = session_.width;
  frame->height = session_.height;
  // With the content-driven frame rate a picture lasts until the next one,
  // and a key picture still comes as often as by count: the file's
  // fragments, what a crash can lose, stay as short.
  frame->pts = session_.pictureTimes ? pts : frameIndex_;
  ++frameIndex_;
  frame->pict_type = AV_PICTURE_TYPE_NONE;
  if (session_.pictureTimes && (lastKeyPts_ < 0 || pts - lastKeyPts_ >= file_.VideoEncoder()->gop_size)) {
    frame->pict_type = AV_PICTURE_TYPE_I;
    lastKeyPts_ = pts;
  }
  EncodeVideo(frame);
  av_frame_unref(frame);
  return Popped::kItem;
}

// One submission per picture: submitting a picture again would put it into
// the stream twice. Whatever the encoder holds back comes out at the end.
void EncodeStage::EncodeVideo(AVFrame* frame) {
  AVCodecContext* encoder = file_.VideoEncoder();
  int ret = avcodec_send_frame(encoder, frame);
  if (ret < 0 && ret != AVERROR_EOF) {
    Trace("video encode err,times=%d, ret=%d, got_picture=%d\n", 0, ret, 0);
    return;
  }
  PacketPtr packet = MakePacket();
  while (avcodec_receive_packet(encoder, packet.get()) >= 0) {
    file_.WriteVideo(packet.get());
    av_packet_unref(packet.get());
  }
}

// The audio encoder puts priming samples before the sound, which every
// player plays: left so, each sound would be heard that much after its
// picture. The sound of those first milliseconds makes way for them, so
// that the recording's sound starts with its first picture.
bool EncodeStage::AudioTurn(bool draining) {
  if (!primingSkipped_) {
    primingSkipped_ = true;
    for (int skipped = 0; skipped + kSoundFrameSamples <= file_.AudioEncoder()->initial_padding;
         skipped += kSoundFrameSamples) {
      if (!sound_.Next(draining)) return false;
    }
  }
  FramePtr frame = sound_.Next(draining);
  return frame && EncodeAudio(frame.get());
}

// Submits one frame (nullptr: drain) and writes what comes out.
bool EncodeStage::EncodeAudio(AVFrame* frame) {
  if (frame) {
    frame->pts = audioSamplesIn_;
    audioSamplesIn_ += frame->nb_samples;
  }
  AVCodecContext* encoder = file_.AudioEncoder();
  const int ret = avcodec_send_frame(encoder, frame);
  if (ret < 0 && ret != AVERROR_EOF) {
    Trace("audio encode err,times=%d, ret=%d, got_picture=%d\n", 0, ret, 0);
    return false;
  }
  bool wrote = false;
  PacketPtr packet = MakePacket();
  while (avcodec_receive_packet(encoder, packet.get()) >= 0) {
    file_.WriteAudio(packet.get());
    av_packet_unref(packet.get());
    wrote = true;
  }
  return wrote;
}

// After a stop: encode the pictures still coming, let the encoder give up
// what it holds, and bring the sound up to the end of the picture.
void EncodeStage::Drain() {
  if (file_.WriteFailed()) return;  // nothing more reaches the file
  // The audio encoder gives its first packet one frame late; more fruitless
  // turns than this in a row mean it gives nothing at all.
  constexpr int kMaxFruitlessAudioTurns = 4;
  int fruitless = 0;
  const auto audioTurn = [&] {
    fruitless = AudioTurn(true) ? 0 : fruitless + 1;
    return fruitless <= kMaxFruitlessAudioTurns;
  };
  for (;;) {
    if (file_.VideoAhead()) {
      if (!audioTurn()) break;
    } else if (VideoTurn(true) != Popped::kItem) {
      break;
    }
  }
  EncodeVideo(nullptr);
  while (file_.VideoAhead() && audioTurn()) {
  }
  EncodeAudio(nullptr);
}

}  // namespace kal
