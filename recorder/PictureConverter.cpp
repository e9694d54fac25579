#include "recorder/PictureConverter.h"

#include <libyuv/convert.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace kal {

bool PictureConverter::Convert(const AVFrame* src, int width, int height,
                               std::uint8_t* const planes[3], const int linesizes[3]) {
  const auto format = static_cast<AVPixelFormat>(src->format);
  if ((format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_BGR0) && src->width == width &&
      src->height == height) {
    // libyuv names formats by their 32-bit word: its "ARGB" is B, G, R, A
    // in memory. Negative strides (bottom-up pictures) are fine.
    return libyuv::ARGBToI420(src->data[0], src->linesize[0], planes[0], linesizes[0], planes[1],
                              linesizes[1], planes[2], linesizes[2], width, height) == 0;
  }
  scaler_.reset(sws_getCachedContext(scaler_.release(), src->width, src->height, format, width,
                                     height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                                     nullptr));
  if (!scaler_) return false;
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(scaler_.get(), bt601, 1, bt601, 0, 0, 1 << 16, 1 << 16);
  sws_scale(scaler_.get(), src->data, src->linesize, 0, src->height, planes, linesizes);
  return true;
}

void TagColours(AVCodecContext* encoder) {
  encoder->color_range = AVCOL_RANGE_MPEG;
  encoder->colorspace = AVCOL_SPC_SMPTE170M;
  encoder->color_primaries = AVCOL_PRI_BT709;     // sRGB shares them
  encoder->color_trc = AVCOL_TRC_IEC61966_2_1;    // sRGB
}

}  // namespace kal
