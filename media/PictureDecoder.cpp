#include "media/PictureDecoder.h"

#include <glog/logging.h>

namespace kal {

bool PictureDecoder::Planes(const AVFrame* f, const std::uint8_t* planes[3], int pitches[3],
                            bool& planar) {
  // Most files are 4:2:0 already: SDL takes those planes as they are.
  planar = f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P;
  if (planar) {
    for (int i = 0; i < 3; ++i) {
      planes[i] = f->data[i];
      pitches[i] = f->linesize[i];
    }
    return true;
  }
  if (!ToYuyv(f)) return false;
  planes[0] = yuyv_.data();
  pitches[0] = pitch_;
  planes[1] = planes[2] = nullptr;
  pitches[1] = pitches[2] = 0;
  return true;
}

bool PictureDecoder::ToYuyv(const AVFrame* f) {
  scaler_ = sws_getCachedContext(scaler_, f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                 f->width, f->height, AV_PIX_FMT_YUYV422, SWS_BICUBIC, nullptr,
                                 nullptr, nullptr);
  if (!scaler_) {
    LOG(ERROR) << "no conversion of " << f->width << "x" << f->height << " pictures";
    return false;
  }
  pitch_ = f->width * 2;
  yuyv_.resize(static_cast<size_t>(pitch_) * f->height);
  std::uint8_t* planes[1] = {yuyv_.data()};
  const int lines[1] = {pitch_};
  return sws_scale(scaler_, f->data, f->linesize, 0, f->height, planes, lines) > 0;
}

}  // namespace kal
