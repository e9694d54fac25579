// What the drift benches' feeders share: the marked tone, the monotonic
// clock, and a row of 18 squares at the top of the screen (from x 64)
// showing a running time in milliseconds as binary, repainted every 2 ms in
// one request, so each recorded picture tells when it was taken.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <time.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

constexpr int kRate = 44100;
constexpr int kPiece = 441;  // 10 ms of the tone
constexpr int kMarkEvery = 5 * kRate;
constexpr int kMarkLength = kRate / 10;

// Fills `piece` with the tone's samples from number `n` on: 440 Hz, turning
// to 880 Hz for 100 ms every 5 s of samples (a mark; none at 0), with no
// phase jump. True when a mark starts in the piece.
inline bool FillTone(std::int64_t n, std::vector<std::int16_t>& piece, double& phase) {
  bool markStarts = false;
  for (size_t i = 0; i < piece.size(); ++i) {
    const std::int64_t s = n + static_cast<std::int64_t>(i);
    const bool mark = s % kMarkEvery < kMarkLength && s >= kMarkEvery;
    if (mark && s % kMarkEvery == 0) markStarts = true;
    phase += 2 * M_PI * (mark ? 880.0 : 440.0) / kRate;
    piece[i] = static_cast<std::int16_t>(8000 * std::sin(phase));
  }
  return markStarts;
}

inline double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

inline void SleepUntil(double t) {
  const double d = t - Now();
  if (d <= 0) return;
  timespec ts{static_cast<time_t>(d), static_cast<long>((d - std::floor(d)) * 1e9)};
  nanosleep(&ts, nullptr);
}

constexpr int kBits = 18;
constexpr int kBit = 16;  // a square's side, in pixels

// Paints the running time since `origin` until `stop`; 0 while the origin
// is not known yet (NaN).
inline void ShowTime(const std::atomic<double>& origin, const std::atomic<bool>& stop) {
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
    const double start = origin.load();
    const auto ms = std::isnan(start) ? 0L : static_cast<long>((Now() - start) * 1000);
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
