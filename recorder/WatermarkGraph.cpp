#include "recorder/WatermarkGraph.h"

#include <QImageReader>

#include <glog/logging.h>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include "config/ConfigKeys.h"
#include "platform/UserPaths.h"
#include "recorder/WatermarkText.h"

namespace kal {

std::string WatermarkGraph::Description() const {
  const std::string folder = platform::ExecutableFolder() + "/";
  const SessionSettings& s = *settings_;
  if (s.watermark == WatermarkKind::kImage) {
    const std::string path = s.watermarkImagePath.empty() ? folder + "kalwm.png" : s.watermarkImagePath;
    const QSize size = QImageReader(QString::fromStdString(path)).size();
    const int w = size.isValid() ? size.width() : 0;
    const int h = size.isValid() ? size.height() : 0;
    return ImageWatermarkDescription(
        path, PlaceWatermark(s.watermarkPos, width_, height_, w, h, s.watermarkOffsetX,
                             s.watermarkOffsetY));
  }
  const std::string font = folder + FontFileForFamily(s.watermarkFontFamily);
  return TextWatermarkDescription(font, s.watermarkText, s.watermarkTextOffsetX,
                                  s.watermarkTextOffsetY, s.watermarkFontSize, s.watermarkColor);
}

int WatermarkGraph::Build(const SessionSettings& settings, int width, int height,
                          const AVCodecContext* decoder, AVPixelFormat format) {
  settings_ = &settings;
  width_ = width;
  height_ = height;
  decoder_ = decoder;
  return Rebuild(format);
}

void WatermarkGraph::Reset() {
  graph_.reset();  // frees its filters
  source_ = sink_ = nullptr;
  format_ = AV_PIX_FMT_NONE;
  decoder_ = nullptr;
}

int WatermarkGraph::Rebuild(AVPixelFormat format) {
  const AVFilter* buffer = avfilter_get_by_name("buffer");
  const AVFilter* buffersink = avfilter_get_by_name("buffersink");
  graph_.reset(avfilter_graph_alloc());
  if (!buffer || !buffersink || !graph_) return AVERROR(ENOMEM);
  AVFilterGraph* g = graph_.get();
  const AVCodecContext* dec = decoder_;
  char args[512];
  std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                dec->width, dec->height, format, dec->time_base.num, dec->time_base.den,
                dec->sample_aspect_ratio.num, dec->sample_aspect_ratio.den > 0 ? dec->sample_aspect_ratio.den : 1);
  int ret = avfilter_graph_create_filter(&source_, buffer, "in", args, nullptr, g);
  if (ret < 0) {
    LOG(ERROR) << "Cannot create buffer source";
    return ret;
  }
  ret = avfilter_graph_create_filter(&sink_, buffersink, "out", nullptr, nullptr, g);
  if (ret >= 0) {
    const AVPixelFormat fmts[] = {format, AV_PIX_FMT_NONE};
    ret = av_opt_set_int_list(sink_, "pix_fmts", fmts, AV_PIX_FMT_NONE,
                              AV_OPT_SEARCH_CHILDREN);
  }
  if (ret < 0) {
    LOG(ERROR) << "Cannot create avfilter graph";
    return ret;
  }
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  if (!outputs || !inputs) {
    avfilter_inout_free(&outputs);
    avfilter_inout_free(&inputs);
    return AVERROR(ENOMEM);
  }
  outputs->name = av_strdup("in");
  outputs->filter_ctx = source_;
  inputs->name = av_strdup("out");
  inputs->filter_ctx = sink_;
  const std::string description = Description();
  LOG(INFO) << "watermark: " << description;
  ret = avfilter_graph_parse_ptr(g, description.c_str(), &inputs, &outputs, nullptr);
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  if (ret < 0) {
    LOG(ERROR) << "Cannot parse graph args";
    return ret;
  }
  ret = avfilter_graph_config(g, nullptr);
  if (ret < 0) {
    LOG(ERROR) << "Cannot config avfilter graph";
    return ret;
  }
  format_ = format;
  pts_ = 0;
  return 0;
}

bool WatermarkGraph::Apply(AVFrame* decoded, AVFrame* filtered) {
  // The decoder's real output format is known only from its first picture
  // (a camera's may differ from what its stream announced).
  if (decoded->format != format_ &&
      Rebuild(static_cast<AVPixelFormat>(decoded->format)) != 0) {
    return false;
  }
  // The overlay pairs pictures by time, so the pictures need timestamps.
  decoded->pts = pts_++;
  if (av_buffersrc_add_frame_flags(source_, decoded, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
    LOG(ERROR) << "push frame error to the filtergraph";
    return false;
  }
  if (av_buffersink_get_frame(sink_, filtered) < 0) {
    LOG(ERROR) << "pull frame error from the filtergraph";
    return false;
  }
  return true;
}

}  // namespace kal
