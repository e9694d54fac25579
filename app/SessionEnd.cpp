#include "app/SessionEnd.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <mutex>

#include <glog/logging.h>

#include "platform/X11Errors.h"

namespace kal {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler only writes the signal's number into a socket; the message
// loop reads it. Both ends live as long as the process.
int g_pipe[2] = {-1, -1};
std::mutex g_finishLock;
std::function<void()>* g_finish = nullptr;  // under g_finishLock

void OnSignalAsync(int sig) {
  const int saved = errno;
  const char c = static_cast<char>(sig);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
  errno = saved;
}

void RunFinish() {
  std::lock_guard<std::mutex> lock(g_finishLock);
  if (g_finish) (*g_finish)();
}

void FinishAtExit() {
  LOG(INFO) << "exit: the recording is finished first";
  RunFinish();
}

}  // namespace

SessionEnd::SessionEnd(std::function<void()> finish) {
  {
    std::lock_guard<std::mutex> lock(g_finishLock);
    g_finish = new std::function<void()>(std::move(finish));
  }
  static std::once_flag once;
  std::call_once(once, [] {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
      LOG(ERROR) << "no signal socket: signals end the program without finishing the recording";
    }
    std::atexit(FinishAtExit);
    // The toolkit's own X connection breaking ends the process from
    // whichever thread notices: finish there, before the exit.
    platform::OnFatalConnectionLoss(FinishAtExit);
  });
  if (g_pipe[0] < 0) return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SessionEnd::OnSignal);
  struct sigaction sa {};
  sa.sa_handler = OnSignalAsync;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (const int sig : kSignals) ::sigaction(sig, &sa, nullptr);
}

SessionEnd::~SessionEnd() {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  for (const int sig : kSignals) ::sigaction(sig, &sa, nullptr);
  std::lock_guard<std::mutex> lock(g_finishLock);
  delete g_finish;
  g_finish = nullptr;
}

void SessionEnd::OnSignal() {
  char c = 0;
  if (::read(g_pipe[0], &c, 1) != 1) return;
  LOG(INFO) << "signal " << static_cast<int>(c) << ": finishing the recording, then ending";
  RunFinish();
  QCoreApplication::quit();
}

}  // namespace kal
