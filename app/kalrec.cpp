// kalrec: the recorder from the command line, for scripts and remote
// sessions. Same engine and settings as the window program, no windows.

#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <glog/logging.h>

extern "C" {
#include <libavutil/log.h>
}

#include "app/KalrecOptions.h"
#include "app/LogSetup.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "config/UserFolders.h"
#include "config/Version.h"
#include "platform/PulseServer.h"
#include "platform/X11ClickListener.h"
#include "platform/X11Screen.h"
#include "media/CaptureDevices.h"
#include "recorder/ClickFlags.h"
#include "recorder/Recorder.h"
#include "recorder/Recovery.h"
#include "recorder/Trace.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: kalrec COMMAND [ARGS]\n"
    "  record --out PATH [options]   record the screen (kalrec record --help)\n"
    "  devices                       list microphones, system sound, cameras, screen\n"
    "  config list | get SECTION KEY | set SECTION KEY VALUE\n"
    "  --version, --help\n";

constexpr const char* kRecordUsage =
    "usage: kalrec record --out PATH [--seconds S] [--fps N] [--quality 0|1|2]\n"
    "       [--area full|follow|all|screen:N|X,Y,W,H] [--sound none|mic|system|both]\n"
    "       [--cursor] [--highlight] [--ripples] [--watermark-text TEXT]\n"
    "       [--watermark-image FILE] [--camera] [--pause-at T:D]... [--stats]\n"
    "       [--frame-rate-mode constant|content] [--verbose]\n"
    "The container follows the extension of PATH (mp4, flv, wmv, avi, mov, mkv).\n"
    "--frame-rate-mode content writes a picture only when the screen changed\n"
    "(at least one a second), each with its time; AVI stays constant.\n"
    "--area full is the primary monitor, all the whole X screen with every\n"
    "monitor, screen:N monitor N of kalrec devices.\n"
    "Recording ends after S seconds of running time, on Ctrl-C, SIGTERM or\n"
    "SIGHUP, or when 'q' is read from standard input; the file is always finished.\n"
    "Settings not given come from configure.ini, which is never changed.\n"
    "Standard output carries only the result line; --verbose adds the engine's\n"
    "trace lines on stderr.\n";

constexpr const char* kConfigUsage =
    "usage: kalrec config list\n"
    "       kalrec config get SECTION KEY\n"
    "       kalrec config set SECTION KEY VALUE\n";

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }

int Fail(const std::string& message) {
  std::fprintf(stderr, "kalrec: %s\n", message.c_str());
  return 1;
}

bool WritableFolder(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(folder.c_str(), W_OK) == 0;
}

double ProcessCpuSeconds() {
  rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// True when standard input has delivered a 'q'.
bool QuitTyped() {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) return false;
  char buf[64];
  const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
  return n > 0 && std::memchr(buf, 'q', static_cast<size_t>(n)) != nullptr;
}

// Remembers what the engine reported; the recording loop tells the user.
class Owner : public kal::MessagePoster {
 public:
  void RecordingFailed(kal::RecordFailure kind) override { failure = static_cast<int>(kind); }
  std::atomic<int> failure{0};
};

// Says on stderr what changed in the sources since the last call.
void TellNotices(const kal::Recorder& rec, size_t& told) {
  const std::vector<std::string> notices = rec.Notices();
  for (; told < notices.size(); ++told) std::fprintf(stderr, "kalrec: %s\n", notices[told].c_str());
}

int Record(const std::vector<std::string>& args) {
  std::string error;
  auto parsed = kal::ParseRecordOptions(args, error);
  if (!parsed) return Fail(error), 2;
  kal::RecordOptions& o = *parsed;
  if (o.help) {
    std::fputs(kRecordUsage, stdout);
    return 0;
  }
  if (!WritableFolder(o.folder)) return Fail("cannot write into the folder '" + o.folder + "'");
  if (!o.camera && platform::QueryScreenSize().width <= 0)
    return Fail("no X display to record (is DISPLAY set?)");

  if (o.area == "all") {
    const platform::ScreenSize screen = platform::QueryScreenSize();
    o.regionX = o.regionY = 0;
    o.regionW = screen.width;
    o.regionH = screen.height;
  } else if (o.monitor) {
    const std::vector<platform::Monitor> monitors = platform::QueryMonitors();
    if (*o.monitor >= static_cast<int>(monitors.size()))
      return Fail("there is no monitor " + std::to_string(*o.monitor) + " (kalrec devices lists them)"), 2;
    const platform::Monitor& m = monitors[static_cast<size_t>(*o.monitor)];
    o.regionX = m.x;
    o.regionY = m.y;
    o.regionW = m.width;
    o.regionH = m.height;
  }

  const std::string logFolder = kal::GetUserDataFolder(kal::kLogFolder);
  kal::LogSession log("kalrec", logFolder);
  kal::SetTraceEnabled(o.verbose);
  av_log_set_level(AV_LOG_ERROR);
  kal::ApplyRecordOptions(o);
  const int fps = o.fps ? *o.fps : kal::cfg::Read(kal::cfg::kVideoFramerate);
  const int quality = o.quality ? *o.quality : kal::cfg::Read(kal::cfg::kQuality);

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);

  for (const std::string& file : kal::RecoverUnfinishedRecordings(o.folder))
    std::fprintf(stderr, "kalrec: recovered an unfinished recording into %s\n", file.c_str());

  Owner owner;
  kal::Recorder rec(&owner);
  size_t noticesTold = 0;
  const int ret = rec.Start(o.fileName, o.folder, o.extension, fps, quality);
  if (ret == kal::ERR_NO_VIDEO_DEVICE) return Fail("no camera found");
  if (ret == kal::ERR_CAMERA_BUSY) return Fail("the camera is busy");
  if (ret == kal::ERR_NO_AUDIO_DEVICE) return Fail("no microphone found");
  if (ret != 0) return Fail("the recording could not start (details in " + logFolder + ")");
  TellNotices(rec, noticesTold);

  platform::X11ClickListener clicks;
  if (kal::cfg::Read(kal::cfg::kMouseEffectClickCheck) != 0) {
    const bool listening = clicks.Start([](platform::X11ClickListener::Button b) {
      (b == platform::X11ClickListener::Button::kLeft ? kal::leftClickSeen : kal::rightClickSeen) = true;
    });
    if (!listening)
      std::fprintf(stderr, "kalrec: click ripples cannot be shown (%s); recording without them\n",
                   clicks.Error().c_str());
  }

  rec.Run();
  auto since = Clock::now();
  double runningBefore = 0;  // seconds run before the current stretch
  bool paused = false;
  Clock::time_point resumeAt;
  size_t nextPause = 0;
  std::vector<kal::PauseAt> pauses = o.pauses;
  std::sort(pauses.begin(), pauses.end(), [](auto& a, auto& b) { return a.at < b.at; });
  double nextStats = 1;
  double lastCpu = ProcessCpuSeconds();
  std::int64_t lastEncoded = 0;
  double running = 0;
  for (;;) {
    const auto now = Clock::now();
    running = runningBefore + (paused ? 0 : std::chrono::duration<double>(now - since).count());
    if (g_stop || QuitTyped() || (o.seconds && running >= *o.seconds)) break;
    if (rec.State() == kal::kStopped) break;  // ended by itself (see Failure)
    TellNotices(rec, noticesTold);
    if (!paused && nextPause < pauses.size() && running >= pauses[nextPause].at) {
      rec.Pause();
      paused = true;
      runningBefore = running;
      resumeAt = now + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(pauses[nextPause].length));
      ++nextPause;
    } else if (paused && now >= resumeAt) {
      rec.Run();
      paused = false;
      since = now;
    }
    if (o.stats && running >= nextStats) {
      const kal::RecorderStats s = rec.Stats();
      const double cpu = ProcessCpuSeconds();
      std::fprintf(stderr,
                   "t=%.0f grabbed=%lld dropped=%lld queue=%d fifo=%d enc_fps=%lld cpu=%.0f%%\n",
                   running, static_cast<long long>(s.picturesGrabbed),
                   static_cast<long long>(s.picturesDropped), s.packetQueueDepth, s.videoFifoDepth,
                   static_cast<long long>(s.picturesEncoded - lastEncoded), (cpu - lastCpu) * 100);
      lastCpu = cpu;
      lastEncoded = s.picturesEncoded;
      nextStats += 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  rec.Stop();
  clicks.Stop();
  if (!rec.WaitFinished(std::chrono::seconds(120))) return Fail("the file could not be finished");
  TellNotices(rec, noticesTold);
  if (const std::string failure = rec.Failure(); !failure.empty()) {
    const bool finishing = owner.failure == kal::kFailureFinish;
    return Fail((finishing ? "" : "the recording stopped: ") + failure +
                "; what was recorded is in " + rec.FilePath());
  }
  const kal::RecorderStats s = rec.Stats();
  if (o.stats && s.firstPictureMicros >= 0)
    std::fprintf(stderr, "first picture %.0f ms after the start\n", s.firstPictureMicros / 1000.0);
  if (o.stats)
    std::fprintf(stderr, "still screen: %lld of %lld pictures repeated without a grab\n",
                 static_cast<long long>(s.picturesRepeated),
                 static_cast<long long>(s.picturesGrabbed));
  if (o.stats)
    std::fprintf(stderr, "pictures written: %lld\n", static_cast<long long>(s.picturesEncoded));
  std::printf("frames=%lld dropped=%lld seconds=%.2f file=%s\n",
              static_cast<long long>(s.picturesEncoded), static_cast<long long>(s.picturesDropped),
              running, rec.FilePath().c_str());
  return 0;
}

int Devices() {
  for (const auto& d : kal::EnumerateCaptureDevices(kal::CaptureKind::kMicrophone))
    std::printf("microphone: %s (%s)\n", d.friendlyName.c_str(), d.displayName.c_str());
  const platform::PulseDefaults pulse = platform::QueryPulseDefaults();
  std::printf("system-sound: %s\n", pulse.sinkMonitor.empty() ? "none" : pulse.sinkMonitor.c_str());
  for (const auto& d : kal::EnumerateCaptureDevices(kal::CaptureKind::kCamera))
    std::printf("camera: %s (%s)\n", d.friendlyName.c_str(), d.displayName.c_str());
  const platform::ScreenSize screen = platform::QueryScreenSize();
  if (screen.width > 0) {
    std::printf("screen: %dx%d\n", screen.width, screen.height);
    const std::vector<platform::Monitor> monitors = platform::QueryMonitors();
    const platform::Monitor full = platform::PrimaryMonitor(monitors, screen);
    for (size_t i = 0; i < monitors.size(); ++i) {
      const platform::Monitor& m = monitors[i];
      const bool isFull = m.name == full.name && m.x == full.x && m.y == full.y;
      std::printf("monitor %zu: %s %dx%d+%d+%d%s\n", i, m.name.c_str(), m.width, m.height, m.x,
                  m.y, isFull ? " (full screen)" : "");
    }
  } else {
    std::printf("screen: none\n");
  }
  return 0;
}

int Config(const std::vector<std::string>& args) {
  kal::ConfigStore* store = kal::ConfigStore::Instance();
  if (args.empty() || args[0] == "--help") {
    std::fputs(kConfigUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "list" && args.size() == 1) {
    for (const auto& k : kal::cfg::KeyTable()) {
      std::string value;
      store->GetString(k.section, k.key, k.def, value, 1024);
      std::printf("%s %s=%s\n", std::string(k.section).c_str(), std::string(k.key).c_str(),
                  value.c_str());
    }
    return 0;
  }
  if (args[0] == "get" && args.size() == 3) {
    const kal::cfg::KeyInfo* k = kal::cfg::FindKeyInfo(args[1], args[2]);
    if (!k) return Fail("unknown key '" + args[2] + "' in section '" + args[1] + "'"), 2;
    std::string value;
    store->GetString(k->section, k->key, k->def, value, 1024);
    std::printf("%s\n", value.c_str());
    return 0;
  }
  if (args[0] == "set" && args.size() == 4) {
    const kal::cfg::KeyInfo* k = kal::cfg::FindKeyInfo(args[1], args[2]);
    if (!k) return Fail("unknown key '" + args[2] + "' in section '" + args[1] + "'"), 2;
    if (!store->SetString(k->section, k->key, args[3]))
      return Fail("cannot write " + store->Path());
    return 0;
  }
  std::fputs(kConfigUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "--version") {
    std::printf("kalrec %s\n", kal::kVersion);
    return 0;
  }
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "record") return Record(args);
  if (command == "devices") {
    if (!args.empty() && args[0] == "--help") {
      std::puts("usage: kalrec devices");
      return 0;
    }
    return Devices();
  }
  if (command == "config") return Config(args);
  std::fprintf(stderr, "kalrec: unknown command '%s'\n%s", command.c_str(), kUsage);
  return 2;
}
