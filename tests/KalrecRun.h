#pragma once
// kalrec run as a user runs it: nothing on its standard input, what it
// prints kept for the test. Tests that include this define KAL_BIN_DIR.

#include <string>
#include <vector>

#include "Subprocess.h"
#include "TempDir.h"

namespace kaltest {

inline const std::string kKalrec = std::string(KAL_BIN_DIR) + "/kalrec";

// kalrec's command line with these arguments.
inline std::vector<std::string> KalrecArgs(std::vector<std::string> args) {
  args.insert(args.begin(), kKalrec);
  return args;
}

struct KalrecResult {
  int status = -1;  // exit code, -1 when a signal ended it
  std::string out;
  std::string err;
};

// Runs kalrec with `args` to its end.
inline KalrecResult RunKalrec(const std::vector<std::string>& args) {
  TempDir io;
  Subprocess kalrec(KalrecArgs(args), Quiet(io / "err", io / "out"));
  KalrecResult r;
  r.status = kalrec.Wait();
  r.out = ReadFile(io / "out");
  r.err = ReadFile(io / "err");
  return r;
}

}  // namespace kaltest
