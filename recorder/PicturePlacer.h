#pragma once
// Keeps a camera's pictures on the recording's running time. A camera
// delivers a little more or fewer pictures than the rate it claims (a dim
// room makes many slower), and a file of constant rate that counts them
// drifts from the sound, which is placed by the running time. Each picture
// is stamped with the running time it arrived at; this tells how often it
// goes into the file: once as a rule, more when the camera fell 1.5
// intervals behind (its picture fills the slots it missed), none when its
// slot would come half an interval before it arrived, which no picture
// taken before it arrived should. The band is two intervals wide, so after
// a correction jitter of less than an interval changes nothing, and a
// right camera's pictures are neither doubled nor dropped.

#include <cstdint>

namespace kal {

class PicturePlacer {
 public:
  explicit PicturePlacer(int frameRate) : fps_(frameRate > 0 ? frameRate : 1) {}

  // How many times the picture that arrived at `runningMicros` is written.
  int Copies(std::int64_t runningMicros) {
    const double due = static_cast<double>(runningMicros) * fps_ / 1e6;  // in pictures
    int copies = 1;
    // written_ is this picture's slot if it goes in once.
    if (written_ > due + 0.5) copies = 0;
    else if (due - written_ > 1.5) copies = 1 + static_cast<int>(due - written_ - 0.5);
    written_ += copies;
    return copies;
  }
  std::int64_t Written() const { return written_; }

 private:
  int fps_;
  std::int64_t written_ = 0;  // slots filled, so also the next slot's number
};

}  // namespace kal
