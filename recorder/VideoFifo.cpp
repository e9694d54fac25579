#include "recorder/VideoFifo.h"

#include <glog/logging.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

namespace kal {

void VideoFifo::AvFree::operator()(std::uint8_t* p) const { av_free(p); }

bool VideoFifo::Allocate(int width, int height, int pictures) {
  Free();
  pictureSize_ = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, height, 1);
  if (pictureSize_ <= 0) return false;
  for (int count = pictures; count > 2; count -= 4) {
    slots_.clear();
    for (int i = 0; i < count; ++i) {
      auto* slot = static_cast<std::uint8_t*>(av_malloc(static_cast<size_t>(pictureSize_)));
      if (!slot) break;
      slots_.emplace_back(slot);
    }
    if (static_cast<int>(slots_.size()) == count) {
      capacity_ = count;
      LOG(INFO) << "video fifo: " << count << " pictures of " << width << "x" << height << ", "
                << pictureSize_ << " bytes each";
      return true;
    }
    LOG(ERROR) << "video fifo: no room for " << count << " pictures";
  }
  slots_.clear();
  return false;
}

void VideoFifo::Free() {
  std::lock_guard<std::mutex> lock(lock_);
  slots_.clear();
  capacity_ = head_ = count_ = reading_ = 0;
  depth_ = 0;
}

void VideoFifo::Commit() {
  ++count_;
  ++depth_;
}

std::uint8_t* VideoFifo::TakeOldest() { return Slot(head_ + reading_++); }

void VideoFifo::Release() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (reading_ == 0) return;
    head_ = (head_ + 1) % capacity_;
    --count_;
    --reading_;
    --depth_;
  }
  cond_.notify_all();
}

}  // namespace kal
