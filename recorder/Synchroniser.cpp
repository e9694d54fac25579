#include "recorder/Synchroniser.h"

#include <algorithm>

namespace kal {

void Synchroniser::Run(Clock::time_point at) {
  std::lock_guard<std::mutex> lock(lock_);
  if (!stretches_.empty() && stretches_.back().to == Clock::time_point::max()) return;
  if (!stretches_.empty()) at = std::max(at, stretches_.back().to);
  stretches_.push_back({at, Clock::time_point::max()});
}

void Synchroniser::Pause(Clock::time_point at) {
  std::lock_guard<std::mutex> lock(lock_);
  if (stretches_.empty() || stretches_.back().to != Clock::time_point::max()) return;
  stretches_.back().to = std::max(at, stretches_.back().from);
}

// A moment in a pause that has ended lies that long before the running
// time the recording resumed at: sound taken then is older than the
// resumed sound and is dropped, as sound taken before the start is.
std::int64_t Synchroniser::RunningMicros(Clock::time_point at) const {
  std::lock_guard<std::mutex> lock(lock_);
  Clock::duration ran{};
  for (const Stretch& s : stretches_) {
    if (at < s.from) return std::chrono::duration_cast<std::chrono::microseconds>(ran - (s.from - at)).count();
    if (at < s.to) return std::chrono::duration_cast<std::chrono::microseconds>(ran + (at - s.from)).count();
    ran += s.to - s.from;
  }
  return std::chrono::duration_cast<std::chrono::microseconds>(ran).count();
}

bool Synchroniser::RunningAt(Clock::time_point at) const {
  std::lock_guard<std::mutex> lock(lock_);
  return std::any_of(stretches_.begin(), stretches_.end(),
                     [at](const Stretch& s) { return at >= s.from && at < s.to; });
}

}  // namespace kal
