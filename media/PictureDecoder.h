#pragma once
// The pictures of one video stream (a StreamDecoder), each ready for SDL's
// textures: planar 4:2:0 as it is, any other format converted to packed
// YUYV 4:2:2. One thread.

#include <vector>

#include "media/StreamDecoder.h"

namespace kal {

class PictureDecoder : public StreamDecoder {
 public:
  explicit PictureDecoder(PacketQueue& queue) : StreamDecoder(queue) {}
  ~PictureDecoder() { sws_freeContext(scaler_); }

  // Opens the decoder for `stream` ("threads" auto). False with `why`.
  bool Open(const AVStream* stream, std::string& why) { return StreamDecoder::Open(stream, "Video", true, why); }
  // The planes to draw `picture` from: its own when it is planar YUV 4:2:0
  // (`planar`), else its YUYV conversion. False when it cannot be converted.
  bool Planes(const AVFrame* picture, const std::uint8_t* planes[3], int pitches[3], bool& planar);

 private:
  bool ToYuyv(const AVFrame* picture);
  SwsContext* scaler_ = nullptr;  // owned; sws_getCachedContext replaces it
  std::vector<std::uint8_t> yuyv_;
  int pitch_ = 0;
};

}  // namespace kal
