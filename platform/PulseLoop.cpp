#include "platform/PulseLoop.h"

#include <pulse/pulseaudio.h>

#include <chrono>

namespace platform {

PulseLoop::PulseLoop() : loop_(pa_mainloop_new()) {}

PulseLoop::~PulseLoop() {
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  if (loop_) pa_mainloop_free(loop_);
}

bool PulseLoop::Connect(const char* clientName, int timeoutMs) {
  if (!loop_) return false;
  context_ = pa_context_new(pa_mainloop_get_api(loop_), clientName);
  if (!context_) return false;
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  const bool settled = RunUntil(
      [this] {
        const pa_context_state_t s = pa_context_get_state(context_);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
      },
      timeoutMs);
  return settled && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

bool PulseLoop::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (context_) {
      const pa_context_state_t s = pa_context_get_state(context_);
      if (s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED) return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // Waits at most 10 ms per round so the deadline is kept.
    if (pa_mainloop_prepare(loop_, static_cast<int>(std::min<long>(left.count(), 10)) * 1000) < 0)
      return false;
    if (pa_mainloop_poll(loop_) < 0) return false;
    if (pa_mainloop_dispatch(loop_) < 0) return false;
  }
  return true;
}

void PulseLoop::Poll() {
  if (loop_) pa_mainloop_iterate(loop_, 0, nullptr);
}

bool PulseLoop::Good() const {
  return context_ && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_));
}

}  // namespace platform
