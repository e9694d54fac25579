// A microphone with a clock of its own, for measuring how the recording
// keeps sound on its picture: writes a 440 Hz tone as 16-bit mono at a
// nominal 44100 Hz into a PulseAudio pipe source, paced so that it really
// delivers 44100 x (1 + PPM / 1e6) samples a second. Every 5 s of its own
// samples the tone turns to 880 Hz for 100 ms (a mark), and at the moment
// the mark's first sample is written a white square shows at the top left
// of the screen for 200 ms. Beside it, a row of 18 squares shows the
// feeder's running time in milliseconds as binary, repainted every 2 ms in
// one request, so each recorded picture tells when it was taken.
// Usage: kal_bench_drift_feeder FIFO PPM SECONDS

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <thread>
#include <vector>

#include "drift_shared.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s FIFO PPM SECONDS\n", argv[0]);
    return 2;
  }
  const double ppm = std::atof(argv[2]);
  const double seconds = std::atof(argv[3]);
  const double realRate = kRate * (1 + ppm / 1e6);
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return 1;
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  attrs.background_pixel = BlackPixel(dpy, DefaultScreen(dpy));
  const Window win = XCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 64, 64, 0, CopyFromParent,
                                   InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
                                   &attrs);
  XMapRaised(dpy, win);
  GC gc = XCreateGC(dpy, win, 0, nullptr);
  const auto paint = [&](bool white) {
    XSetForeground(dpy, gc, white ? WhitePixel(dpy, 0) : BlackPixel(dpy, 0));
    XFillRectangle(dpy, win, gc, 0, 0, 64, 64);
    XSync(dpy, False);
  };
  paint(false);

  const int fd = ::open(argv[1], O_WRONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<std::int16_t> piece(kPiece);
  double phase = 0;
  const double start = Now();
  std::atomic<bool> stop{false};
  std::atomic<double> origin{start};
  std::thread clock(ShowTime, std::cref(origin), std::cref(stop));
  double flashEnd = 0;
  for (std::int64_t n = 0; n < seconds * kRate; n += kPiece) {
    const bool markStarts = FillTone(n, piece, phase);
    // The square shows when the mark's first sample is taken; the piece
    // goes out when the feeder's clock has produced all of it, as a sound
    // card hands over a period.
    if (markStarts) {
      SleepUntil(start + n / realRate);
      paint(true);
      flashEnd = Now() + 0.2;
    } else if (flashEnd > 0 && Now() >= flashEnd) {
      paint(false);
      flashEnd = 0;
    }
    SleepUntil(start + (n + kPiece) / realRate);
    if (::write(fd, piece.data(), piece.size() * 2) < 0) return 1;
  }
  ::close(fd);
  stop = true;
  clock.join();
  XCloseDisplay(dpy);
  return 0;
}
