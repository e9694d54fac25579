#include "MediaProbe.h"

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace kaltest {
namespace {

struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;

InputPtr Open(const std::string& path, std::string* error) {
  AVFormatContext* ic = nullptr;
  int ret = avformat_open_input(&ic, path.c_str(), nullptr, nullptr);
  if (ret < 0) {
    char buf[128];
    av_strerror(ret, buf, sizeof buf);
    if (error) *error = buf;
    return nullptr;
  }
  InputPtr input(ic);
  if (avformat_find_stream_info(ic, nullptr) < 0) {
    if (error) *error = "no stream info";
    return nullptr;
  }
  return input;
}

CodecPtr OpenDecoder(const AVStream* st) {
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  if (!codec) return nullptr;
  CodecPtr c(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(c.get(), st->codecpar);
  c->thread_count = 1;
  if (avcodec_open2(c.get(), codec, nullptr) < 0) return nullptr;
  return c;
}

// Receives every frame the decoder has ready; counts frames and errors.
void Drain(AVCodecContext* c, AVFrame* frame, StreamInfo& info,
           const std::function<void(AVFrame*)>& onFrame = {}) {
  for (;;) {
    const int ret = avcodec_receive_frame(c, frame);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) {
      ++info.decodeErrors;
      return;
    }
    ++info.framesDecoded;
    if (onFrame) onFrame(frame);
    av_frame_unref(frame);
  }
}

// Decodes every packet of the file's best stream of `type`; `opened` sees
// the decoder first. False when the file or stream cannot be opened.
bool DecodeBestStream(const std::string& path, AVMediaType type,
                      const std::function<void(AVCodecContext*)>& opened,
                      const std::function<void(AVFrame*)>& onFrame) {
  InputPtr ic = Open(path, nullptr);
  if (!ic) return false;
  const int index = av_find_best_stream(ic.get(), type, -1, -1, nullptr, 0);
  if (index < 0) return false;
  CodecPtr c = OpenDecoder(ic->streams[index]);
  if (!c) return false;
  if (opened) opened(c.get());
  StreamInfo counts;
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  while (av_read_frame(ic.get(), pkt) >= 0) {
    if (pkt->stream_index == index && avcodec_send_packet(c.get(), pkt) >= 0)
      Drain(c.get(), frame, counts, onFrame);
    av_packet_unref(pkt);
  }
  avcodec_send_packet(c.get(), nullptr);
  Drain(c.get(), frame, counts, onFrame);
  av_frame_free(&frame);
  av_packet_free(&pkt);
  return true;
}

}  // namespace

const StreamInfo* MediaInfo::Find(AVMediaType type) const {
  for (const auto& s : streams)
    if (s.type == type) return &s;
  return nullptr;
}

int MediaInfo::Count(AVMediaType type) const {
  int n = 0;
  for (const auto& s : streams) n += s.type == type;
  return n;
}

std::optional<StreamInfo> ProbeVideo(const std::string& path, std::string* why) {
  const MediaInfo info = ProbeFile(path);
  const StreamInfo* v = info.Find(AVMEDIA_TYPE_VIDEO);
  if (!v) {
    if (why) *why = info.opened ? "no video stream" : info.error;
    return std::nullopt;
  }
  return *v;
}

MediaInfo ProbeFile(const std::string& path, bool decode) {
  MediaInfo info;
  InputPtr ic = Open(path, &info.error);
  if (!ic) return info;
  info.opened = true;
  info.formatName = ic->iformat->name;
  std::vector<CodecPtr> decoders;
  std::vector<std::int64_t> lastEnd(ic->nb_streams, AV_NOPTS_VALUE);
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const AVStream* st = ic->streams[i];
    StreamInfo s;
    s.type = st->codecpar->codec_type;
    s.codec = st->codecpar->codec_id;
    s.timeBase = st->time_base;
    s.width = st->codecpar->width;
    s.height = st->codecpar->height;
    s.hasExtradata = st->codecpar->extradata_size > 0;
    s.colorRange = st->codecpar->color_range;
    s.colorSpace = st->codecpar->color_space;
    info.streams.push_back(s);
    decoders.push_back(decode ? OpenDecoder(st) : nullptr);
  }
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  while (av_read_frame(ic.get(), pkt) >= 0) {
    StreamInfo& s = info.streams[static_cast<size_t>(pkt->stream_index)];
    const std::int64_t pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    s.pts.push_back(pts);
    if (pts != AV_NOPTS_VALUE) {
      std::int64_t& end = lastEnd[static_cast<size_t>(pkt->stream_index)];
      end = std::max(end == AV_NOPTS_VALUE ? pts : end, pts + pkt->duration);
    }
    if (AVCodecContext* c = decoders[static_cast<size_t>(pkt->stream_index)].get()) {
      if (avcodec_send_packet(c, pkt) < 0) ++s.decodeErrors;
      Drain(c, frame, s);
    }
    av_packet_unref(pkt);
  }
  for (size_t i = 0; i < decoders.size(); ++i) {
    if (AVCodecContext* c = decoders[i].get()) {
      avcodec_send_packet(c, nullptr);
      Drain(c, frame, info.streams[i]);
    }
    StreamInfo& s = info.streams[i];
    if (!s.pts.empty() && lastEnd[i] != AV_NOPTS_VALUE) {
      const std::int64_t first = *std::min_element(s.pts.begin(), s.pts.end());
      s.duration = static_cast<double>(lastEnd[i] - first) * av_q2d(s.timeBase);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  return info;
}

std::vector<RgbPicture> DecodePictures(const std::string& path,
                                       const std::function<bool(int)>& wanted) {
  std::vector<RgbPicture> out;
  int index = 0;
  SwsContext* sws = nullptr;
  DecodeBestStream(path, AVMEDIA_TYPE_VIDEO, {}, [&](AVFrame* f) {
    if (wanted(index)) {
      RgbPicture pic;
      pic.index = index;
      pic.width = f->width;
      pic.height = f->height;
      // libswscale's vector code writes whole blocks past the end of a row
      // whose width is not a multiple of them.
      pic.rgb.resize(static_cast<size_t>(f->width) * f->height * 3 + 64);
      sws = sws_getCachedContext(sws, f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                 f->width, f->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr,
                                 nullptr, nullptr);
      // As a player shows it: by the stream's matrix and range; untagged HD
      // taken as BT.709, as most players guess.
      const bool bt709 = f->colorspace == AVCOL_SPC_BT709 ||
                         (f->colorspace == AVCOL_SPC_UNSPECIFIED && f->height >= 720);
      sws_setColorspaceDetails(sws, sws_getCoefficients(bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601),
                               f->color_range == AVCOL_RANGE_JPEG,
                               sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
      uint8_t* dst[1] = {pic.rgb.data()};
      int dstStride[1] = {f->width * 3};
      sws_scale(sws, f->data, f->linesize, 0, f->height, dst, dstStride);
      out.push_back(std::move(pic));
    }
    ++index;
  });
  sws_freeContext(sws);
  return out;
}

}  // namespace kaltest

#include <cmath>

extern "C" {
#include <libswresample/swresample.h>
}

namespace kaltest {

std::vector<float> DecodeAudio(const std::string& path, int* rate) {
  std::vector<float> out;
  DecodeBestStream(
      path, AVMEDIA_TYPE_AUDIO,
      [rate](AVCodecContext* c) {
        if (rate) *rate = c->sample_rate;
      },
      [&out](AVFrame* f) {
        const int ch = f->ch_layout.nb_channels;
        for (int i = 0; i < f->nb_samples; ++i) {
          float sum = 0;
          for (int k = 0; k < ch; ++k) {
            if (f->format == AV_SAMPLE_FMT_FLTP)
              sum += reinterpret_cast<float*>(f->extended_data[k])[i];
            else if (f->format == AV_SAMPLE_FMT_FLT)
              sum += reinterpret_cast<float*>(f->data[0])[i * ch + k];
            else if (f->format == AV_SAMPLE_FMT_S16)
              sum += reinterpret_cast<int16_t*>(f->data[0])[i * ch + k] / 32768.f;
          }
          out.push_back(sum / ch);
        }
      });
  return out;
}

double Rms(const std::vector<float>& s, size_t begin, size_t end) {
  end = std::min(end, s.size());
  if (begin >= end) return 0;
  double sum = 0;
  for (size_t i = begin; i < end; ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / static_cast<double>(end - begin));
}

double ToneShare(const std::vector<float>& s, int rate, double hz, size_t begin, size_t end) {
  end = std::min(end, s.size());
  if (begin >= end || rate <= 0) return 0;
  const double w = 2 * M_PI * hz / rate;
  const double coeff = 2 * std::cos(w);
  double s1 = 0, s2 = 0, total = 0;
  for (size_t i = begin; i < end; ++i) {
    const double s0 = s[i] + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
    total += static_cast<double>(s[i]) * s[i];
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  const double n = static_cast<double>(end - begin);
  // A pure sine of amplitude A gives power (A n / 2)^2 and total A^2 n / 2.
  return total > 0 ? (power / (n * n / 4)) / (2 * total / n) : 0;
}

}  // namespace kaltest
