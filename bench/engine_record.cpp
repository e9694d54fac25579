// Records the screen through the engine for a fixed running time; the
// benchmark's view of the recorder without any front end.
// Usage: kal_bench_record OUT.ext SECONDS FPS [QUALITY [WIDTH HEIGHT]]
// With WIDTH and HEIGHT the region at the screen's top-left is recorded.
// Prints "frames=N dropped=D seconds=X.XX file=PATH" when the file is done.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

#include "config/ConfigKeys.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s OUT.ext SECONDS FPS [QUALITY]\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  const double seconds = std::atof(argv[2]);
  const int fps = std::atoi(argv[3]);
  const int quality = argc > 4 ? std::atoi(argv[4]) : 1;
  const auto slash = out.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : out.substr(0, slash);
  const std::string name = slash == std::string::npos ? out : out.substr(slash + 1);
  const std::string ext = name.substr(name.rfind('.') + 1);
  if (argc > 6) {
    kal::cfg::Write(kal::cfg::kUserDefinedRegionCheck, 1);
    kal::cfg::Write(kal::cfg::kRegionOffsetX, 0);
    kal::cfg::Write(kal::cfg::kRegionOffsetY, 0);
    kal::cfg::Write(kal::cfg::kRegionWidth, std::atoi(argv[5]));
    kal::cfg::Write(kal::cfg::kRegionHeight, std::atoi(argv[6]));
  }
  kal::SetTraceEnabled(false);
  av_log_set_level(AV_LOG_ERROR);
  kal::Recorder rec(nullptr);
  if (rec.Start(name, folder, ext, fps, quality) != 0) {
    std::fprintf(stderr, "recording could not start\n");
    return 1;
  }
  rec.Run();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  rec.Stop();
  rec.WaitFinished(std::chrono::seconds(60));
  const kal::RecorderStats s = rec.Stats();
  std::printf("frames=%lld dropped=%lld seconds=%.2f file=%s\n",
              static_cast<long long>(s.picturesEncoded), static_cast<long long>(s.picturesDropped),
              seconds, out.c_str());
  return 0;
}
