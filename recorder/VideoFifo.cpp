#include "recorder/VideoFifo.h"
#include "media/WakeAll.h"

#include <glog/logging.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

namespace kal {

// A writer waiting for room re-checks this often.
constexpr std::chrono::milliseconds kRoomRecheck{400};

void VideoFifo::AvFree::operator()(std::uint8_t* p) const { av_free(p); }

bool VideoFifo::Allocate(int width, int height, int pictures) {
  Free();
  std::lock_guard<std::mutex> lock(lock_);
  pictureSize_ = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, height, 1);
  if (pictureSize_ <= 0 || pictures < 3) return false;
  slots_.resize(static_cast<std::size_t>(pictures));
  for (int i = pictures; i-- > 0;) free_.push_back(i);
  capacity_ = pictures;
  LOG(INFO) << "video fifo: up to " << pictures << " pictures of " << width << "x" << height
            << ", " << pictureSize_ << " bytes each";
  return true;
}

void VideoFifo::Free() {
  std::lock_guard<std::mutex> lock(lock_);
  slots_.clear();
  free_.clear();
  order_.clear();
  capacity_ = reading_ = 0;
  writing_ = -1;
  depth_ = 0;
  writerEnded_ = readerEnded_ = aborted_ = false;
}

std::uint8_t* VideoFifo::WaitFreeSlot() {
  std::unique_lock<std::mutex> lock(lock_);
  while (free_.empty() && !readerEnded_) cond_.wait_for(lock, kRoomRecheck);
  if (free_.empty()) return nullptr;
  const int index = free_.back();
  auto& slot = slots_[static_cast<std::size_t>(index)];
  if (!slot) {
    slot.reset(static_cast<std::uint8_t*>(av_malloc(static_cast<size_t>(pictureSize_))));
    if (!slot) {
      LOG(ERROR) << "video fifo: no memory for another picture";
      return nullptr;
    }
  }
  free_.pop_back();
  writing_ = index;
  return slot.get();
}

void VideoFifo::Commit(std::int64_t pts) {
  ChangeAndWakeAll(lock_, cond_, [this, pts] {
    order_.push_back({writing_, pts});
    writing_ = -1;
    ++depth_;
  });
}

void VideoFifo::Close() {
  ChangeAndWakeAll(lock_, cond_, [this] { writerEnded_ = true; });
}

void VideoFifo::EndReading() {
  ChangeAndWakeAll(lock_, cond_, [this] { readerEnded_ = true; });
}

void VideoFifo::Abort() {
  ChangeAndWakeAll(lock_, cond_, [this] { aborted_ = true; });
}

Popped VideoFifo::TakeOldest(std::chrono::milliseconds wait, bool draining,
                             std::uint8_t** picture, std::int64_t* pts) {
  std::unique_lock<std::mutex> lock(lock_);
  const auto ready = [&] { return HasPicture() || writerEnded_ || (aborted_ && !draining); };
  if (draining) {
    while (!ready()) cond_.wait_for(lock, kRoomRecheck);
  } else {
    cond_.wait_for(lock, wait, ready);
  }
  if (!HasPicture()) return writerEnded_ ? Popped::kClosed : Popped::kNothingYet;
  const Held& held = order_[static_cast<std::size_t>(reading_++)];
  if (pts) *pts = held.pts;
  *picture = slots_[static_cast<std::size_t>(held.slot)].get();
  return Popped::kItem;
}

void VideoFifo::Release() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (reading_ == 0) return;
    free_.push_back(order_.front().slot);
    order_.pop_front();
    --reading_;
    --depth_;
  }
  cond_.notify_all();
}

}  // namespace kal
