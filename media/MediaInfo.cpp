#include "media/MediaInfo.h"

#include <glog/logging.h>

#include "media/FfmpegPtr.h"

namespace kal {
namespace {

std::int64_t StreamDurationUs(const AVFormatContext* ic, const AVStream* s) {
  if (s->duration != AV_NOPTS_VALUE)
    return static_cast<std::int64_t>(s->duration * av_q2d(s->time_base) * 1e6);
  return ic->duration == AV_NOPTS_VALUE ? 0 : ic->duration;
}

}  // namespace

int ProbeMediaInfo(const std::string& path, MediaInfo& info) {
  info = MediaInfo{};
  info.path = path;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    LOG(ERROR) << "avformat_open_input error: " << path;
    return -1;
  }
  InputContextPtr in(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) {
    LOG(ERROR) << "avformat_find_stream_info error: " << path;
    return -1;
  }
  bool haveDuration = false;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVStream* s = raw->streams[i];
    const AVCodecParameters* p = s->codecpar;
    if (p->codec_type == AVMEDIA_TYPE_VIDEO && info.videoStream < 0) {
      info.videoStream = static_cast<int>(i);
      info.width = p->width;
      info.height = p->height;
      if (s->avg_frame_rate.den > 0)
        info.frameRate = s->avg_frame_rate.num / s->avg_frame_rate.den;
      else if (s->r_frame_rate.den > 0)
        info.frameRate = s->r_frame_rate.num / s->r_frame_rate.den;
      info.durationUs = StreamDurationUs(raw, s);
      haveDuration = true;
    } else if (p->codec_type == AVMEDIA_TYPE_AUDIO && info.audioStream < 0) {
      info.audioStream = static_cast<int>(i);
      info.sampleFormat = p->format;
      info.sampleRate = p->sample_rate;
      info.channels = p->ch_layout.nb_channels;
      if (!haveDuration) info.durationUs = StreamDurationUs(raw, s);
      haveDuration = true;
    }
  }
  return 0;
}

}  // namespace kal
