#pragma once
// Owning pointers for FFmpeg objects, so every path releases them.

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace kal {

struct AvFrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvPacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AvCodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct SwsFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct AvFilterGraphFree {
  void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct AvAudioFifoFree {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct AvBufferPoolFree {
  void operator()(AVBufferPool* p) const { av_buffer_pool_uninit(&p); }
};
// Closes the file (when the format has one) and frees the context.
struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct AvInputClose {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct AvOutputFree {
  void operator()(AVFormatContext* oc) const {
    if (oc->pb && !(oc->oformat->flags & AVFMT_NOFILE)) avio_closep(&oc->pb);
    avformat_free_context(oc);
  }
};

using FramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, AvFilterGraphFree>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AvAudioFifoFree>;
using BufferPoolPtr = std::unique_ptr<AVBufferPool, AvBufferPoolFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;
using InputContextPtr = std::unique_ptr<AVFormatContext, AvInputClose>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, AvOutputFree>;

inline FramePtr MakeFrame() { return FramePtr(av_frame_alloc()); }
inline PacketPtr MakePacket() { return PacketPtr(av_packet_alloc()); }

// FFmpeg's text for an error code.
inline std::string AvError(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

}  // namespace kal
