// Any command line after "kalrec record" (arguments split at NUL bytes): it is
// refused with a reason, or accepted with every value inside its range.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "app/KalrecOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kal::fuzz::Fail;
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back() += static_cast<char>(data[i]);
  }
  std::string error;
  const auto o = kal::ParseRecordOptions(args, error);
  if (!o) {
    if (error.empty()) Fail("refused without a reason");
    return 0;
  }
  if (o->help) return 0;
  if (o->out.empty() || o->fileName.empty()) Fail("accepted without an output file");
  if (o->seconds && !(std::isfinite(*o->seconds) && *o->seconds > 0)) Fail("bad --seconds accepted");
  if (o->fps && (*o->fps < 1 || *o->fps > 120)) Fail("bad --fps accepted");
  if (o->quality && (*o->quality < 0 || *o->quality > 2)) Fail("bad --quality accepted");
  if (o->area) {
    // "all" and "screen:N" get their rectangle from the caller, who knows the monitors.
    const std::string& a = *o->area;
    const bool byName = a == "full" || a == "follow" || a == "all";
    if (a.rfind("screen:", 0) == 0) {
      if (!o->monitor || *o->monitor < 0 || *o->monitor > 63) Fail("bad --area screen:N accepted");
    } else if (!byName && (o->regionX < 0 || o->regionY < 0 || o->regionW < 2 || o->regionH < 2)) {
      Fail("bad --area accepted");
    }
  }
  for (const auto& p : o->pauses)
    if (!(std::isfinite(p.at) && std::isfinite(p.length) && p.at >= 0 && p.length > 0))
      Fail("bad --pause-at accepted");
  return 0;
}
