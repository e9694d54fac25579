#include "recorder/SoundInput.h"

#include <cstdio>

#include <glog/logging.h>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include "recorder/SoundFormat.h"
#include "recorder/Trace.h"

namespace kal {

constexpr std::chrono::milliseconds kSoundPoll{10};
// How long a drain waits for a source thread's last sound.
constexpr std::chrono::milliseconds kDrainWait{1000};

int SoundInput::Setup(const AVCodecContext* encoder) {
  encoder_ = encoder;
  mixPts_ = 0;
  if (session_.muted || session_.settings.voiceSource != VoiceSource::kBoth) return 0;
  const AVFilter* abuffer = avfilter_get_by_name("abuffer");
  const AVFilter* abuffersink = avfilter_get_by_name("abuffersink");
  mixGraph_.reset(avfilter_graph_alloc());
  if (!abuffer || !abuffersink || !mixGraph_) return -1;
  char args[512];
  std::snprintf(args, sizeof args,
                "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=stereo",
                encoder->time_base.num, encoder->time_base.den,
                encoder->sample_rate, av_get_sample_fmt_name(encoder->sample_fmt));
  Trace("args_spk: %s\n", args);
  Trace("args_mic: %s\n", args);
  AVFilterGraph* g = mixGraph_.get();
  if (avfilter_graph_create_filter(&mixSystem_, abuffer, "in0", args, nullptr, g) < 0) {
    LOG(ERROR) << "Filter: failed to call avfilter_graph_create_filter -- src spk";
    return -1;
  }
  if (avfilter_graph_create_filter(&mixMicrophone_, abuffer, "in1", args, nullptr, g) < 0) {
    LOG(ERROR) << "Filter: failed to call avfilter_graph_create_filter -- src mic";
    return -1;
  }
  if (avfilter_graph_create_filter(&mixSink_, abuffersink, "out", nullptr, nullptr, g) < 0) {
    LOG(ERROR) << "Filter: failed to call avfilter_graph_create_filter -- sink";
    return -1;
  }
  const AVSampleFormat fmts[] = {encoder->sample_fmt, AV_SAMPLE_FMT_NONE};
  if (av_opt_set_int_list(mixSink_, "sample_fmts", fmts, AV_SAMPLE_FMT_NONE,
                          AV_OPT_SEARCH_CHILDREN) < 0) {
    LOG(ERROR) << "Filter: failed to call av_opt_set_bin -- sample_fmts";
    return -1;
  }
  if (av_opt_set(mixSink_, "ch_layouts", "stereo", AV_OPT_SEARCH_CHILDREN) < 0) {
    LOG(ERROR) << "Filter: failed to call av_opt_set_bin -- channel_layouts";
    return -1;
  }
  const int rates[] = {encoder->sample_rate, -1};
  if (av_opt_set_int_list(mixSink_, "sample_rates", rates, -1, AV_OPT_SEARCH_CHILDREN) < 0) {
    LOG(ERROR) << "Filter: failed to call av_opt_set_bin -- sample_rates";
    return -1;
  }
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* second = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  int ret = -1;
  if (outputs && second && inputs) {
    outputs->name = av_strdup("in0");
    outputs->filter_ctx = mixSystem_;
    outputs->next = second;
    second->name = av_strdup("in1");
    second->filter_ctx = mixMicrophone_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = mixSink_;
    second = nullptr;  // now owned by `outputs`
    if (avfilter_graph_parse_ptr(g, "[in0][in1]amix=inputs=2[out]", &inputs, &outputs, nullptr) < 0) {
      LOG(ERROR) << "Filter: failed to call avfilter_graph_parse_ptr";
    } else if (avfilter_graph_config(g, nullptr) < 0) {
      LOG(ERROR) << "Filter: failed to call avfilter_graph_config";
    } else {
      ret = 0;
    }
  }
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  avfilter_inout_free(&second);
  return ret;
}

FramePtr SoundInput::NewFrame(bool withBuffer) const {
  FramePtr f = MakeFrame();
  if (!f) return nullptr;
  f->nb_samples = kSoundFrameSamples;
  f->format = AV_SAMPLE_FMT_FLTP;
  f->sample_rate = kSoundRate;
  av_channel_layout_copy(&f->ch_layout, &encoder_->ch_layout);
  if (withBuffer && av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
  return f;
}

FramePtr SoundInput::Next(bool draining) {
  FramePtr frame = NewFrame(true);
  if (!frame) return nullptr;
  if (session_.muted) {
    av_samples_set_silence(frame->data, 0, kSoundFrameSamples, 2, AV_SAMPLE_FMT_FLTP);
    return frame;
  }
  switch (session_.settings.voiceSource) {
    case VoiceSource::kMicrophone:
      return Take(microphone_, frame.get(), draining) ? std::move(frame) : nullptr;
    case VoiceSource::kSystem:
      return Take(system_, frame.get(), draining) ? std::move(frame) : nullptr;
    default: {
      if (!Take(microphone_, frame.get(), draining)) return nullptr;
      FramePtr system = NewFrame(true);
      FramePtr mixed = NewFrame(false);
      if (!system || !mixed) return nullptr;
      if (!Take(system_, system.get(), draining)) return nullptr;
      return Mix(frame.get(), system.get(), mixed.get()) ? std::move(mixed) : nullptr;
    }
  }
}

// The next 1024 samples of one source. While recording they are waited
// for (a stop ends the wait: false); once the source has ended, silence
// makes up the rest. A drain waits for what the source still hands over as
// it ends, and silence makes up what never comes.
bool SoundInput::Take(SoundFifo& fifo, AVFrame* frame, bool draining) {
  if (draining) {
    fifo.WaitFor(kSoundFrameSamples, kDrainWait, true);
  } else {
    // Closed: silence makes up the rest.
    while (fifo.WaitFor(kSoundFrameSamples, kSoundPoll, false) == Popped::kNothingYet) {
      if (fifo.Aborted()) return false;
    }
  }
  fifo.Read(frame->data, kSoundFrameSamples);
  return true;
}

bool SoundInput::Mix(AVFrame* microphone, AVFrame* system, AVFrame* mixed) {
  microphone->pts = system->pts = mixPts_;
  mixPts_ += kSoundFrameSamples;
  int ret = av_buffersrc_add_frame_flags(mixMicrophone_, microphone, AV_BUFFERSRC_FLAG_KEEP_REF);
  if (ret < 0) {
    LOG(ERROR) << "audio mic frame add  filtergraph error, ret=" << ret;
    return false;
  }
  ret = av_buffersrc_add_frame_flags(mixSystem_, system, AV_BUFFERSRC_FLAG_KEEP_REF);
  if (ret < 0) {
    LOG(ERROR) << "audio spk frame add  filtergraph error, ret=" << ret;
    return false;
  }
  ret = av_buffersink_get_frame(mixSink_, mixed);
  if (ret < 0) {
    LOG(ERROR) << "get audio frame from filtergraph error, ret=" << ret;
    return false;
  }
  return true;
}

}  // namespace kal
