// Moving test content for benchmarks: paints pre-rendered BGRA frames onto a
// full-screen window with XShmPutImage at a fixed rate, costing next to no
// CPU itself. Usage: kal_bench_painter FRAMES.bgra WIDTH HEIGHT FPS
// Runs until killed. SIGUSR1 paints the next 10 frames white: a marker to
// find in a recording.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
volatile std::sig_atomic_t g_flash = 0;
void OnFlash(int) { g_flash = 10; }
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGUSR1, OnFlash);
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s FRAMES.bgra WIDTH HEIGHT FPS\n", argv[0]);
    return 2;
  }
  const int w = std::atoi(argv[2]);
  const int h = std::atoi(argv[3]);
  const int fps = std::atoi(argv[4]);
  const int fd = ::open(argv[1], O_RDONLY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  const size_t frameBytes = static_cast<size_t>(w) * h * 4;
  const size_t frames = static_cast<size_t>(st.st_size) / frameBytes;
  auto* data = static_cast<const unsigned char*>(
      ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0));
  if (frames == 0 || data == MAP_FAILED) return 1;

  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return 1;
  const int scr = DefaultScreen(dpy);
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  Window win = XCreateWindow(dpy, RootWindow(dpy, scr), 0, 0, static_cast<unsigned>(w),
                             static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWOverrideRedirect, &attrs);
  XMapRaised(dpy, win);
  GC gc = XCreateGC(dpy, win, 0, nullptr);
  XShmSegmentInfo shm{};
  XImage* img = XShmCreateImage(dpy, DefaultVisual(dpy, scr),
                                static_cast<unsigned>(DefaultDepth(dpy, scr)), ZPixmap, nullptr,
                                &shm, static_cast<unsigned>(w), static_cast<unsigned>(h));
  shm.shmid = shmget(IPC_PRIVATE, frameBytes, IPC_CREAT | 0600);
  shm.shmaddr = img->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
  XShmAttach(dpy, &shm);
  XSync(dpy, False);
  shmctl(shm.shmid, IPC_RMID, nullptr);

  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  const long interval = 1000000000L / fps;
  for (size_t n = 0;; ++n) {
    if (g_flash > 0) {
      std::memset(img->data, 0xFF, frameBytes);
      g_flash = g_flash - 1;
    } else {
      std::memcpy(img->data, data + (n % frames) * frameBytes, frameBytes);
    }
    XShmPutImage(dpy, win, gc, img, 0, 0, 0, 0, static_cast<unsigned>(w),
                 static_cast<unsigned>(h), False);
    XSync(dpy, False);
    next.tv_nsec += interval;
    while (next.tv_nsec >= 1000000000L) {
      next.tv_nsec -= 1000000000L;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
  }
}
