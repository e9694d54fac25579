#pragma once
// The camera source stage: the first video4linux2 device (or, for tests,
// any FFmpeg input), at its own picture size and frame rate, read packet by
// packet into the converter's queue.

#include <string>

#include "media/PacketQueue.h"
#include "recorder/Stage.h"

namespace kal {

class CameraSource : public Stage {
 public:
  CameraSource(SessionState& session, PacketQueue& out) : Stage("camera", session), out_(out) {}

  // Opens the device (`format`/`url` when given) and its decoder, and sets
  // session.width/height/frameRate. 0, ERR_NO_VIDEO_DEVICE, ERR_CAMERA_BUSY
  // or -1.
  int Setup(const std::string& format, const std::string& url);
  // The opened decoder, handed to the converter.
  CodecContextPtr TakeDecoder() { return std::move(decoder_); }

 protected:
  void Body() override;
  void Ended() override { out_.Close(); }

 private:
  void RepeatLastPicture();
  void StampArrival(AVPacket& packet) const;

  PacketQueue& out_;
  InputContextPtr input_;
  CodecContextPtr decoder_;
};

}  // namespace kal
