#include "media/MediaDuration.h"

#include <cstdio>

#include <glog/logging.h>

#include "media/FfmpegPtr.h"

namespace kal {

double ProbeDurationSeconds(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return 0;
  InputContextPtr in(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return 0;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVStream* s = raw->streams[i];
    const AVMediaType type = s->codecpar->codec_type;
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) continue;
    const double d = s->duration == AV_NOPTS_VALUE ? -1 : s->duration * av_q2d(s->time_base);
    if (d >= 0) return d;
    return raw->duration == AV_NOPTS_VALUE ? 0 : raw->duration / static_cast<double>(AV_TIME_BASE);
  }
  LOG(ERROR) << "not found a video stream.";
  return -1;
}

std::string DurationText(double seconds) {
  if (seconds < 0) return "--:--:--";  // a file with neither pictures nor sound
  const long long d = static_cast<long long>(seconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", d / 3600, d % 3600 / 60, d % 60);
  return buf;
}

std::string SizeText(std::uint64_t bytes) {
  char buf[32];
  if (bytes < 1024) {
    std::snprintf(buf, sizeof buf, "%lluB", static_cast<unsigned long long>(bytes));
  } else if (bytes < (1u << 20)) {
    std::snprintf(buf, sizeof buf, "%lluKB", static_cast<unsigned long long>(bytes / 1024));
  } else if (bytes < (1u << 30)) {
    std::snprintf(buf, sizeof buf, "%.2fM", static_cast<double>(static_cast<float>(bytes) / (1 << 20)));
  } else {
    std::snprintf(buf, sizeof buf, "%.2fG", static_cast<double>(static_cast<float>(bytes) / (1u << 30)));
  }
  return buf;
}

}  // namespace kal
