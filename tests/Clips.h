#pragma once
// Test videos made with the ffmpeg program: pictures of a lavfi source and
// a 440 Hz tone, H.264 + AAC, as a recording is.

#include <string>

#include "Subprocess.h"

namespace kaltest {

// `picture` is a lavfi video source with its options (size, rate).
inline bool MakeClip(const std::string& path, double seconds,
                     const std::string& picture = "testsrc=size=320x240:rate=25") {
  const std::string length = std::to_string(seconds);
  return Run("ffmpeg -v error -y -f lavfi -i '" + picture + "' -f lavfi -i sine=frequency=440 -t " +
             length + " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac " + ShellQuote(path));
}

// Pictures of noise, which no encoder makes small: a large output.
inline const std::string kNoise = "color=c=gray:size=640x480:rate=25,noise=alls=100:allf=t";

}  // namespace kaltest
