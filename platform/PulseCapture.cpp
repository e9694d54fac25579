#include "platform/PulseCapture.h"

#include <algorithm>

#include <pulse/pulseaudio.h>

#include "platform/PulseLoop.h"
#include "platform/PulseServer.h"

namespace platform {

// Fragments of about 10 ms keep the polling loop's packets small.
constexpr int kFragmentMs = 10;

PulseCapture::PulseCapture() = default;

PulseCapture::~PulseCapture() {
  if (stream_) {
    if (peeked_) pa_stream_drop(stream_);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }
}

bool PulseCapture::Open(const std::string& source, int timeoutMs) {
  std::string name = source;
  if (name.empty()) {
    const PulseDefaults d = QueryPulseDefaults(timeoutMs);
    if (!d.sinkExists || d.sinkMonitor.empty()) {
      error_ = "no default sink to record from";
      return false;
    }
    name = d.sinkMonitor;
  }
  loop_ = std::make_unique<PulseLoop>();
  if (!loop_->Connect("kalrecorder-system-sound", timeoutMs)) {
    error_ = "no PulseAudio server";
    return false;
  }
  struct Spec {
    pa_sample_spec spec{};
    bool done = false;
    bool found = false;
  } info;
  pa_operation_unref(pa_context_get_source_info_by_name(
      loop_->Context(), name.c_str(),
      [](pa_context*, const pa_source_info* i, int eol, void* user) {
        auto* s = static_cast<Spec*>(user);
        if (eol) {
          s->done = true;
          return;
        }
        if (i) {
          s->spec = i->sample_spec;
          s->found = true;
        }
      },
      &info));
  if (!loop_->RunUntil([&] { return info.done; }, timeoutMs) || !info.found) {
    error_ = "source " + name + " not found";
    return false;
  }
  pa_sample_spec spec{PA_SAMPLE_S32LE, info.spec.rate, info.spec.channels};
  rate_ = static_cast<int>(spec.rate);
  channels_ = spec.channels;
  stream_ = pa_stream_new(loop_->Context(), "system sound", &spec, nullptr);
  if (!stream_) {
    error_ = "cannot create a record stream";
    return false;
  }
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentMs * 1000, &spec));
  // The server's timing info tells how long ago the oldest unread sample
  // was taken, which places each fragment on the recording's clock.
  const auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
  if (pa_stream_connect_record(stream_, name.c_str(), &attr, flags) < 0) {
    error_ = "cannot connect the record stream";
    return false;
  }
  const bool ready = loop_->RunUntil(
      [this] {
        const pa_stream_state_t s = pa_stream_get_state(stream_);
        return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
      },
      timeoutMs);
  if (!ready || pa_stream_get_state(stream_) != PA_STREAM_READY) {
    error_ = "record stream did not start";
    return false;
  }
  return true;
}

std::size_t PulseCapture::NextPacketSize() {
  if (!stream_ || Failed()) return 0;
  if (peeked_) return bytes_;
  loop_->Poll();
  const void* data = nullptr;
  std::size_t bytes = 0;
  if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) return 0;
  if (!data) {
    // A hole in the stream (the server lost sound): it stands for time that
    // passed, so it is handed over as silence.
    holes_.assign(bytes, 0);
    data = holes_.data();
  }
  data_ = data;
  bytes_ = bytes;
  peeked_ = true;
  return bytes_;
}

std::size_t PulseCapture::Readable() const {
  if (!stream_) return 0;
  const std::size_t ready = pa_stream_readable_size(stream_);
  return ready == static_cast<std::size_t>(-1) ? bytes_ : std::max(ready, bytes_);
}

long long PulseCapture::LatencyMicros() const {
  if (!stream_) return -1;
  pa_usec_t latency = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream_, &latency, &negative) < 0) return -1;
  // Sources that keep no clock of their own (a pipe) can report nonsense.
  constexpr pa_usec_t kBelievable = 2000000;
  if (negative || latency > kBelievable) return -1;
  return static_cast<long long>(latency);
}

long long PulseCapture::TakenAgoMicros() const {
  const long long waiting =
      static_cast<long long>(Readable() / static_cast<std::size_t>(BlockAlign())) * 1000000 / rate_;
  // More than a source's buffer beyond what waits here is the server's
  // timing gone stale (after a suspension), not sound.
  constexpr long long kSourceBuffer = 250000;
  const long long server = LatencyMicros();
  return server > waiting && server < waiting + kSourceBuffer ? server : waiting;
}

void PulseCapture::Release() {
  if (!peeked_) return;
  pa_stream_drop(stream_);
  peeked_ = false;
  data_ = nullptr;
  bytes_ = 0;
}

bool PulseCapture::Failed() const {
  return !loop_ || !loop_->Good() || (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)));
}

}  // namespace platform
