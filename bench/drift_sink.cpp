// A playback device with a clock of its own, for measuring how the
// recording keeps system sound on its picture. It plays the marked tone
// into SINK, a PulseAudio pipe sink, and is the sound card behind it: it
// reads the sink's FIFO at 44100 x (1 + PPM / 1e6) samples a second, so the
// sink (and the monitor the recording takes system sound from) runs on
// that clock. The row of squares shows the running time since the moment
// the tone's first sample was rendered, so the analyser finds each mark's
// picture exactly as for a drifting microphone.
// Usage: kal_bench_drift_sink FIFO SINK PPM SECONDS

#include <fcntl.h>
#include <poll.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>
#include <vector>

#include "drift_shared.h"

namespace {

// Reads the sink's output as its card would, until `stop`. The sink keeps
// the pipe full, so a sample is rendered when the card has read the pipe's
// size before it: that sets the origin once the tone's first (non-zero)
// sample comes through.
void PlayCard(int fd, double realRate, std::atomic<double>& origin, const std::atomic<bool>& stop) {
  const long pipeSamples = ::fcntl(fd, F_GETPIPE_SZ) / 2;
  std::vector<std::int16_t> piece(kPiece);
  const double start = Now();
  for (std::int64_t read = 0; !stop; read += kPiece) {
    SleepUntil(start + (read + kPiece) / realRate);
    size_t got = 0;
    while (got < piece.size() * 2) {
      if (stop) return;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;  // a suspended sink writes nothing
      const ssize_t r = ::read(fd, reinterpret_cast<char*>(piece.data()) + got, piece.size() * 2 - got);
      if (r < 0 && errno == EAGAIN) continue;
      if (r <= 0) return;
      got += static_cast<size_t>(r);
    }
    if (!std::isnan(origin.load())) continue;
    for (int i = 0; i < kPiece; ++i)
      if (piece[i] != 0) {
        origin = start + static_cast<double>(read + i - pipeSamples) / realRate;
        break;
      }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s FIFO SINK PPM SECONDS\n", argv[0]);
    return 2;
  }
  const double ppm = std::atof(argv[3]);
  const double seconds = std::atof(argv[4]);
  const int fd = ::open(argv[1], O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  // A small pipe keeps what the sink renders ahead of its card short.
  ::fcntl(fd, F_SETPIPE_SZ, 4096);
  std::atomic<double> origin{std::numeric_limits<double>::quiet_NaN()};
  std::atomic<bool> stop{false};
  std::thread card(PlayCard, fd, kRate * (1 + ppm / 1e6), std::ref(origin), std::cref(stop));
  std::thread clock(ShowTime, std::cref(origin), std::cref(stop));

  const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
  int err = 0;
  pa_simple* out = pa_simple_new(nullptr, "kal_bench_drift_sink", PA_STREAM_PLAYBACK, argv[2], "tone",
                                 &spec, nullptr, nullptr, &err);
  int rc = 0;
  if (!out) {
    std::fprintf(stderr, "playback: %s\n", pa_strerror(err));
    rc = 1;
  } else {
    std::vector<std::int16_t> piece(kPiece);
    double phase = 0;
    for (std::int64_t n = 0; n < seconds * kRate && rc == 0; n += kPiece) {
      FillTone(n, piece, phase);
      if (pa_simple_write(out, piece.data(), piece.size() * 2, &err) < 0) rc = 1;
    }
    if (rc == 0) pa_simple_drain(out, &err);
    pa_simple_free(out);
  }
  stop = true;
  clock.join();
  card.join();
  ::close(fd);
  return rc;
}
