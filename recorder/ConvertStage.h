#pragma once
// The picture converter stage: takes the sources' packets, decodes them
// (the screen's raw pictures are used where they lie, a camera's are
// decoded), burns in the watermark and converts each picture straight into
// a slot of the encoder's FIFO. An empty packet repeats the last picture.
// A camera's pictures are placed on the running time.

#include <cstdint>

#include "media/PacketQueue.h"
#include "recorder/PictureConverter.h"
#include "recorder/PicturePlacer.h"
#include "recorder/Stage.h"
#include "recorder/VideoFifo.h"
#include "recorder/WatermarkGraph.h"

namespace kal {

class ConvertStage : public Stage {
 public:
  ConvertStage(SessionState& session, PacketQueue& in, VideoFifo& out)
      : Stage("picture converter", session), in_(in), out_(out) {}

  // Takes the source's decoder, builds the watermark graph the settings
  // ask for and sizes the FIFO. 0 or -1.
  int Setup(CodecContextPtr decoder);
  const AVCodecContext* Decoder() const { return decoder_.get(); }

 protected:
  void Body() override;
  void Ended() override { out_.Close(); }

 private:
  bool Decode(AVPacket* packet, AVFrame* decoded);
  // `pts`: the picture's place on the picture grid.
  bool ConvertIntoFifo(const AVFrame* picture, std::int64_t pts);
  void RepeatIntoFifo(std::int64_t pts);
  std::uint8_t* FreeSlot();
  // A camera's picture (its packet stamped with the running time it
  // arrived at), as often as the placer says.
  void PlaceCameraPicture(const AVPacket& packet, const AVFrame* picture);

  PacketQueue& in_;
  VideoFifo& out_;
  CodecContextPtr decoder_;
  WatermarkGraph watermark_;
  PictureConverter converter_;
  std::uint8_t* lastSlot_ = nullptr;  // the last picture written
  PicturePlacer placer_{1};
};

}  // namespace kal
