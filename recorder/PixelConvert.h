#pragma once
// Screen pictures of any common X pixel format made BGRX, the layout the
// cursor effects and the picture packets work with.

#include <cstdint>

namespace kal {

// How the server lays out one pixel: 16, 24 or 32 bits (little-endian) and
// where red, green and blue sit in it.
struct PixelFormat {
  int bitsPerPixel = 32;
  unsigned long redMask = 0xFF0000;
  unsigned long greenMask = 0x00FF00;
  unsigned long blueMask = 0x0000FF;
};

// True for the formats ConvertToBgrx reads.
bool CanConvert(const PixelFormat& format);

// Converts `width` x `height` pixels from `src` (rows of `srcStride` bytes)
// into `dst` (rows of `dstStride` bytes, 4 bytes a pixel: B, G, R, 0xFF).
// Each channel is scaled to the full 0..255 range.
void ConvertToBgrx(const std::uint8_t* src, int srcStride, const PixelFormat& format, int width,
                   int height, std::uint8_t* dst, int dstStride);

}  // namespace kal
