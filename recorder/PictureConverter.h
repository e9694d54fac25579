#pragma once
// Turns decoded pictures into the encoder's yuv420p, with one matrix and
// range for every recording: BT.601 limited range (the matrix the fast
// converter knows), on sRGB primaries and transfer, as a screen shows them.
// TagColours writes the same into the stream, so players do not guess
// (unknown tags make most of them assume BT.709 for HD, shifting reds and
// greens). BGRA and BGR0 pictures of the output size, which every screen
// grab is, go through libyuv's vector code; anything else through
// libswscale with the same matrix and range.

#include <cstdint>

#include "media/FfmpegPtr.h"

namespace kal {

class PictureConverter {
 public:
  // Writes `src` as a width x height yuv420p picture into `planes`. False
  // when no conversion exists for its format.
  bool Convert(const AVFrame* src, int width, int height, std::uint8_t* const planes[3],
               const int linesizes[3]);

 private:
  SwsPtr scaler_;  // cached: rebuilt only when the source changes
};

// The colour description of what PictureConverter writes, for the encoder
// (it also goes into the stream's parameters from there).
void TagColours(AVCodecContext* encoder);

}  // namespace kal
