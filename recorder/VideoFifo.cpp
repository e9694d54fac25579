#include "recorder/VideoFifo.h"

#include <glog/logging.h>

extern "C" {
#include <libavutil/fifo.h>
#include <libavutil/imgutils.h>
}

namespace kal {

bool VideoFifo::Allocate(int width, int height, int pictures) {
  Free();
  width_ = width;
  height_ = height;
  pictureSize_ = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, height, 1);
  if (pictureSize_ <= 0) return false;
  for (int count = pictures; count > 2; count -= 4) {
    fifo_ = av_fifo_alloc2(static_cast<size_t>(pictureSize_) * count, 1, 0);
    LOG(ERROR) << "size:" << pictureSize_;
    LOG(ERROR) << "videoWidth:" << width;
    LOG(ERROR) << "videoWidth:" << height;
    LOG(ERROR) << "frameNumber:" << count;
    if (fifo_) {
      capacity_ = count;
      LOG(ERROR) << "video fifo alloc sucess";
      return true;
    }
    LOG(ERROR) << "video fifo alloc failed";
  }
  return false;
}

void VideoFifo::Free() {
  std::lock_guard<std::mutex> lock(lock_);
  av_fifo_freep2(&fifo_);
  capacity_ = 0;
  depth_ = 0;
}

bool VideoFifo::HasRoom() const {
  return fifo_ && av_fifo_can_write(fifo_) >= static_cast<size_t>(pictureSize_);
}

bool VideoFifo::HasPicture() const {
  return fifo_ && av_fifo_can_read(fifo_) >= static_cast<size_t>(pictureSize_);
}

void VideoFifo::Write(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v) {
  const size_t luma = static_cast<size_t>(width_) * height_;
  const size_t chroma = (static_cast<size_t>(pictureSize_) - luma) / 2;
  av_fifo_write(fifo_, y, luma);
  av_fifo_write(fifo_, u, chroma);
  av_fifo_write(fifo_, v, chroma);
  ++depth_;
}

void VideoFifo::Read(std::uint8_t* picture) {
  av_fifo_read(fifo_, picture, static_cast<size_t>(pictureSize_));
  --depth_;
}

}  // namespace kal
