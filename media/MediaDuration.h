#pragma once
// How long a media file plays, for the lists of files.

#include <cstdint>
#include <string>

namespace kal {

// Seconds of the first video or audio stream (the container's when the
// stream does not say); 0 when the file cannot be opened,
// -1 when it has neither video nor audio. Any thread.
double ProbeDurationSeconds(const std::string& path);

// "%02d:%02d:%02d" of the whole seconds; "--:--:--" for a negative length.
std::string DurationText(double seconds);
// "1023B", "1KB", "1.50M", "3.00G".
std::string SizeText(std::uint64_t bytes);

}  // namespace kal
