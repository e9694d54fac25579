#pragma once
// Reads a recorded file back with libavformat/libavcodec, the way a player
// would, for assertions about streams, timestamps and pictures.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kaltest {

struct StreamInfo {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  AVCodecID codec = AV_CODEC_ID_NONE;
  AVRational timeBase{0, 1};
  int width = 0;
  int height = 0;
  bool hasExtradata = false;
  // The colour description the stream carries (what a player goes by).
  AVColorRange colorRange = AVCOL_RANGE_UNSPECIFIED;
  AVColorSpace colorSpace = AVCOL_SPC_UNSPECIFIED;
  std::vector<std::int64_t> pts;  // of every packet, in file order
  double duration = 0;            // seconds from the first pts to the end of the last packet
  std::int64_t framesDecoded = 0;
  std::int64_t decodeErrors = 0;
};

struct MediaInfo {
  bool opened = false;
  std::string error;
  std::string formatName;
  std::vector<StreamInfo> streams;
  const StreamInfo* Find(AVMediaType type) const;
  int Count(AVMediaType type) const;
};

// Opens the file and reads every packet; with `decode` also decodes every
// packet of every stream end to end.
MediaInfo ProbeFile(const std::string& path, bool decode = true);
// The decoded video stream of the file; nothing, with the reason in `why`,
// when it cannot be opened or holds no video.
std::optional<StreamInfo> ProbeVideo(const std::string& path, std::string* why = nullptr);

struct RgbPicture {
  int index = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // top-down RGB24
  struct Px {
    int r, g, b;
  };
  Px At(int x, int y) const {
    const std::uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

// The decoded pictures whose index (0-based, in decode order) `wanted`
// accepts, converted to RGB.
std::vector<RgbPicture> DecodePictures(const std::string& path,
                                       const std::function<bool(int)>& wanted);

}  // namespace kaltest

namespace kaltest {

// The first audio stream decoded to mono float samples (channels averaged)
// at its own rate; `rate` receives the rate.
std::vector<float> DecodeAudio(const std::string& path, int* rate = nullptr);

// Root mean square of samples[begin, end).
double Rms(const std::vector<float>& s, size_t begin = 0, size_t end = SIZE_MAX);
// Power of one frequency (Goertzel) relative to the total power of the
// range: near 1 for a pure tone at `hz`, near 0 when it is absent.
double ToneShare(const std::vector<float>& s, int rate, double hz, size_t begin = 0,
                 size_t end = SIZE_MAX);

}  // namespace kaltest
