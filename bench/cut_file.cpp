// Cuts one range of a file as the cut page does (the same arguments, the
// same job), for the cut benchmark. Usage: kal_bench_cut FILE START END OUTPUT
// (seconds). Prints the wall seconds the job took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "tools/TranscodeArgs.h"
#include "tools/TranscodeJob.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s FILE START END OUTPUT\n", argv[0]);
    return 2;
  }
  const double start = std::atof(argv[2]), end = std::atof(argv[3]);
  std::mutex lock;
  bool done = false, ok = false;
  kal::TranscodeJob job([](std::int64_t, std::int64_t) {},
                        [&](const kal::TranscodeResult& r) {
                          std::lock_guard<std::mutex> hold(lock);
                          done = true, ok = r.ok;
                          if (!r.ok) std::fprintf(stderr, "%s\n", r.error.c_str());
                        });
  const auto began = std::chrono::steady_clock::now();
  std::string error;
  if (!job.Start(kal::FindFfmpeg(), kal::CutArgs(argv[1], start, end), argv[4],
                 static_cast<std::int64_t>((end - start) * 1000), error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::unique_lock<std::mutex> hold(lock);
  while (!done) {
    hold.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    hold.lock();
  }
  std::printf("%.2f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  return ok ? 0 : 1;
}
