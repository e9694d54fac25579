#pragma once
// Captures one source of the sound server (a microphone, or the monitor of
// the default sink for what is played) as interleaved signed 32-bit samples
// at the source's own rate and channel count. The stream asks for small
// fragments, so sound arrives within tens of milliseconds even where no
// other client asks for a short latency. Polled without blocking by one
// thread.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct pa_stream;

namespace platform {

class PulseLoop;

class PulseCapture {
 public:
  PulseCapture();
  ~PulseCapture();
  PulseCapture(const PulseCapture&) = delete;
  PulseCapture& operator=(const PulseCapture&) = delete;

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
  // Bytes the server holds ready to be read, the announced fragment
  // included. Call after NextPacketSize.
  std::size_t Readable() const;
  // How long ago the first sample of the announced fragment was taken, in
  // microseconds: the server's timing info (everything taken and not yet
  // read: the source's own buffer, the server's and ours) where it is
  // believable, else what waits here, taken one sample after another up to
  // now. Call after NextPacketSize.
  long long TakenAgoMicros() const;
  // The fragment NextPacketSize announced; valid until Release().
  const void* Data() const { return data_; }
  void Release();
  bool Failed() const;
  const std::string& Error() const { return error_; }

 private:
  long long LatencyMicros() const;

  std::unique_ptr<PulseLoop> loop_;
  pa_stream* stream_ = nullptr;
  const void* data_ = nullptr;
  std::size_t bytes_ = 0;
  std::vector<unsigned char> holes_;  // silence for a hole in the stream
  bool peeked_ = false;
  int rate_ = 0;
  int channels_ = 0;
  std::string error_;
};

}  // namespace platform
