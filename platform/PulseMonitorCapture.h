#pragma once
// Captures what the default sink plays, from its monitor source, as
// interleaved signed 32-bit samples at the monitor's own rate and channel
// count. Polled without blocking by one thread.

#include <cstddef>
#include <memory>
#include <string>

struct pa_stream;

namespace platform {

class PulseLoop;

class PulseMonitorCapture {
 public:
  PulseMonitorCapture();
  ~PulseMonitorCapture();
  PulseMonitorCapture(const PulseMonitorCapture&) = delete;
  PulseMonitorCapture& operator=(const PulseMonitorCapture&) = delete;

  // Starts capturing `source` (empty: the default sink's monitor). False
  // with a reason in Error().
  bool Open(const std::string& source = {}, int timeoutMs = 3000);
  int Rate() const { return rate_; }
  int Channels() const { return channels_; }
  int BlockAlign() const { return channels_ * 4; }

  // Size in bytes of the next captured fragment, 0 when none is ready;
  // dispatches the server's events without blocking. A lost connection
  // gives 0 and Failed() true.
  std::size_t NextPacketSize();
  // The fragment NextPacketSize announced; valid until Release().
  const void* Data() const { return data_; }
  void Release();
  bool Failed() const;
  const std::string& Error() const { return error_; }

 private:
  std::unique_ptr<PulseLoop> loop_;
  pa_stream* stream_ = nullptr;
  const void* data_ = nullptr;
  std::size_t bytes_ = 0;
  bool peeked_ = false;
  int rate_ = 0;
  int channels_ = 0;
  std::string error_;
};

}  // namespace platform
