#pragma once
// The watermark graph: an image or a line of text burnt into every source
// picture between the buffer source "in" and the buffer sink "out".

#include <cstdint>
#include <string>

#include "media/FfmpegPtr.h"
#include "recorder/SessionSettings.h"

namespace kal {

class WatermarkGraph {
 public:
  // Builds the graph for width x height pictures of `format`, with the
  // decoder's time base and aspect. A negative FFmpeg code on failure.
  int Build(const SessionSettings& settings, int width, int height, const AVCodecContext* decoder,
            AVPixelFormat format);
  bool Built() const { return graph_ != nullptr; }
  // Runs one decoded picture through the graph into `filtered`, rebuilt
  // first when the decoder's real format differs from the one built for.
  bool Apply(AVFrame* decoded, AVFrame* filtered);
  void Reset();

 private:
  std::string Description() const;
  int Rebuild(AVPixelFormat format);

  const SessionSettings* settings_ = nullptr;
  const AVCodecContext* decoder_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  FilterGraphPtr graph_;
  AVFilterContext* source_ = nullptr;  // "in"
  AVFilterContext* sink_ = nullptr;    // "out"
  AVPixelFormat format_ = AV_PIX_FMT_NONE;  // what the graph takes in
  std::int64_t pts_ = 0;
};

}  // namespace kal
