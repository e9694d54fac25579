#include "recorder/SoundFifo.h"
#include "media/WakeAll.h"

#include <glog/logging.h>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace kal {

// A writer waiting for room re-checks this often.
constexpr std::chrono::milliseconds kRoomRecheck{400};

bool SoundFifo::Allocate(int samples) {
  std::lock_guard<std::mutex> lock(lock_);
  fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, samples));
  closed_ = aborted_ = false;
  return fifo_ != nullptr;
}

void SoundFifo::Free() {
  std::lock_guard<std::mutex> lock(lock_);
  fifo_.reset();
}

bool SoundFifo::Write(std::uint8_t* const* planes, int samples, bool waitForRoom) {
  {
    std::unique_lock<std::mutex> lock(lock_);
    if (!fifo_) return false;
    while (waitForRoom && av_audio_fifo_space(fifo_.get()) < samples) {
      if (aborted_) return false;
      LOG(ERROR) << "audio fifo space is not enough";
      cond_.wait_for(lock, kRoomRecheck);
    }
    if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(const_cast<std::uint8_t**>(planes)), samples) < samples)
      return false;
  }
  cond_.notify_all();
  return true;
}

void SoundFifo::Close() {
  ChangeAndWakeAll(lock_, cond_, [this] { closed_ = true; });
}

void SoundFifo::Abort() {
  ChangeAndWakeAll(lock_, cond_, [this] { aborted_ = true; });
}

bool SoundFifo::Aborted() const {
  std::lock_guard<std::mutex> lock(lock_);
  return aborted_;
}

Popped SoundFifo::WaitFor(int samples, std::chrono::milliseconds wait, bool draining) {
  std::unique_lock<std::mutex> lock(lock_);
  const auto enough = [&] { return fifo_ && av_audio_fifo_size(fifo_.get()) >= samples; };
  cond_.wait_for(lock, wait, [&] { return !fifo_ || enough() || closed_ || (aborted_ && !draining); });
  if (enough()) return Popped::kItem;
  // Without a buffer nothing ever comes.
  return !fifo_ || closed_ ? Popped::kClosed : Popped::kNothingYet;
}

int SoundFifo::Read(std::uint8_t* const* planes, int samples) {
  av_samples_set_silence(const_cast<std::uint8_t**>(planes), 0, samples, 2, AV_SAMPLE_FMT_FLTP);
  int got = 0;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (fifo_) got = av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(const_cast<std::uint8_t**>(planes)), samples);
  }
  cond_.notify_all();
  return got < 0 ? 0 : got;
}

}  // namespace kal
