#pragma once
// A PulseAudio main loop and context driven by the calling thread, with
// time-outs on every wait. Used by one thread at a time.

#include <functional>

struct pa_mainloop;
struct pa_context;

namespace platform {

class PulseLoop {
 public:
  PulseLoop();
  ~PulseLoop();
  PulseLoop(const PulseLoop&) = delete;
  PulseLoop& operator=(const PulseLoop&) = delete;

  // Connects to the server ($PULSE_SERVER or the default); false when no
  // server answers within the time-out. Never spawns one.
  bool Connect(const char* clientName, int timeoutMs);
  // Dispatches events until `done` is true or the time-out passes.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs);
  // Dispatches what is pending without blocking.
  void Poll();
  bool Good() const;
  pa_context* Context() const { return context_; }

 private:
  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

}  // namespace platform
