#include "recorder/PixelConvert.h"

#include <cstring>

namespace kal {
namespace {

// One channel: where it sits and how to stretch it to eight bits.
struct Channel {
  unsigned long mask = 0;
  int shift = 0;
  unsigned long max = 0;

  explicit Channel(unsigned long m) : mask(m) {
    while (m && !(m & 1)) {
      m >>= 1;
      ++shift;
    }
    max = m;
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (!max) return 0;
    const unsigned long v = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  }
};

}  // namespace

bool CanConvert(const PixelFormat& f) {
  return (f.bitsPerPixel == 16 || f.bitsPerPixel == 24 || f.bitsPerPixel == 32) && f.redMask &&
         f.greenMask && f.blueMask;
}

void ConvertToBgrx(const std::uint8_t* src, int srcStride, const PixelFormat& f, int width,
                   int height, std::uint8_t* dst, int dstStride) {
  const Channel r(f.redMask);
  const Channel g(f.greenMask);
  const Channel b(f.blueMask);
  const int bytes = f.bitsPerPixel / 8;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = src + static_cast<std::ptrdiff_t>(y) * srcStride;
    std::uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstStride;
    for (int x = 0; x < width; ++x, in += bytes, out += 4) {
      std::uint32_t pixel = 0;
      std::memcpy(&pixel, in, static_cast<size_t>(bytes));  // little-endian servers
      out[0] = b.Of(pixel);
      out[1] = g.Of(pixel);
      out[2] = r.Of(pixel);
      out[3] = 0xFF;
    }
  }
}

}  // namespace kal
