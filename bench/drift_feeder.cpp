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

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kPiece = 441;  // 10 ms of the feeder's samples
constexpr int kMarkEvery = 5 * kRate;
constexpr int kMarkLength = kRate / 10;

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void SleepUntil(double t) {
  const double d = t - Now();
  if (d <= 0) return;
  timespec ts{static_cast<time_t>(d), static_cast<long>((d - std::floor(d)) * 1e9)};
  nanosleep(&ts, nullptr);
}

constexpr int kBits = 18;
constexpr int kBit = 16;  // a square's side, in pixels

// Paints the running time until `stop`.
void ShowTime(double start, const std::atomic<bool>& stop) {
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return;
  const int scr = DefaultScreen(dpy);
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  const Window win = XCreateWindow(dpy, RootWindow(dpy, scr), 64, 0, kBits * kBit, kBit, 0,
                                   CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect,
                                   &attrs);
  XMapRaised(dpy, win);
  GC gc = XCreateGC(dpy, win, 0, nullptr);
  XImage* img = XCreateImage(dpy, DefaultVisual(dpy, scr), DefaultDepth(dpy, scr), ZPixmap, 0,
                             nullptr, kBits * kBit, kBit, 32, 0);
  std::vector<char> pixels(static_cast<size_t>(img->bytes_per_line) * kBit);
  img->data = pixels.data();
  while (!stop) {
    const auto ms = static_cast<long>((Now() - start) * 1000);
    for (int y = 0; y < kBit; ++y)
      for (int x = 0; x < kBits * kBit; ++x)
        XPutPixel(img, x, y, (ms >> (kBits - 1 - x / kBit)) & 1 ? 0xffffff : 0);
    XPutImage(dpy, win, gc, img, 0, 0, 0, 0, kBits * kBit, kBit);
    XFlush(dpy);
    SleepUntil(Now() + 0.002);
  }
  img->data = nullptr;
  XDestroyImage(img);
  XCloseDisplay(dpy);
}

}  // namespace

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
  std::thread clock(ShowTime, start, std::cref(stop));
  double flashEnd = 0;
  for (std::int64_t n = 0; n < seconds * kRate; n += kPiece) {
    bool markStarts = false;
    for (int i = 0; i < kPiece; ++i) {
      const std::int64_t s = n + i;
      const bool mark = s % kMarkEvery < kMarkLength && s >= kMarkEvery;
      if (mark && s % kMarkEvery == 0) markStarts = true;
      phase += 2 * M_PI * (mark ? 880.0 : 440.0) / kRate;
      piece[i] = static_cast<std::int16_t>(8000 * std::sin(phase));
    }
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
