#pragma once
// What a media file holds, read without playing it: the streams the tool
// pages and the player need to know about.

#include <cstdint>
#include <string>

namespace kal {

struct MediaInfo {
  std::string path;
  int width = 0, height = 0;
  int videoStream = -1, audioStream = -1;
  int sampleFormat = -1;  // AVSampleFormat
  int sampleRate = 0;
  int channels = 0;
  std::int64_t durationUs = 0;  // microseconds
  int frameRate = 0;            // whole pictures per second
};

// Fills `info` from `path`: 0, or -1 when the file does not open or holds no
// stream information. Any thread.
int ProbeMediaInfo(const std::string& path, MediaInfo& info);

}  // namespace kal
