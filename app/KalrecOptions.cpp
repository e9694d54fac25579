#include "app/KalrecOptions.h"

#include <cmath>
#include <cstdlib>

#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

namespace kal {
namespace {

bool ParseNumber(const std::string& s, double& out) {
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  // "inf" and "nan" are numbers to strtod, but no length of time.
  return !s.empty() && end && *end == '\0' && std::isfinite(out);
}

bool ParseInt(const std::string& s, int& out) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || !end || *end != '\0' || v < -1000000 || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

// "X,Y,W,H" as four whole numbers; sscanf's %d has no defined result for
// numbers out of range.
bool ParseRegion(const std::string& s, int& x, int& y, int& w, int& h) {
  int* parts[] = {&x, &y, &w, &h};
  std::size_t begin = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = i < 3 ? s.find(',', begin) : s.size();
    if (comma == std::string::npos || !ParseInt(s.substr(begin, comma - begin), *parts[i]))
      return false;
    begin = comma + 1;
  }
  return true;
}

constexpr const char* kContainers[] = {"mp4", "flv", "wmv", "avi", "mov", "mkv"};

}  // namespace

std::optional<RecordOptions> ParseRecordOptions(const std::vector<std::string>& args,
                                                std::string& error) {
  RecordOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.help = true;
      return o;
    } else if (a == "--out") {
      if (!value(o.out)) return std::nullopt;
    } else if (a == "--seconds") {
      double s = 0;
      if (!value(v) || !ParseNumber(v, s) || s <= 0) {
        if (error.empty()) error = "--seconds wants a positive number, not '" + v + "'";
        return std::nullopt;
      }
      o.seconds = s;
    } else if (a == "--fps") {
      int n = 0;
      if (!value(v) || !ParseInt(v, n) || n < cfg::kVideoFramerate.min || n > cfg::kVideoFramerate.max) {
        if (error.empty()) error = "--fps wants a whole number from 1 to 120, not '" + v + "'";
        return std::nullopt;
      }
      o.fps = n;
    } else if (a == "--quality") {
      int n = 0;
      if (!value(v) || !ParseInt(v, n) || n < 0 || n > 2) {
        if (error.empty()) error = "--quality wants 0, 1 or 2, not '" + v + "'";
        return std::nullopt;
      }
      o.quality = n;
    } else if (a == "--frame-rate-mode") {
      if (!value(v)) return std::nullopt;
      if (v != "constant" && v != "content") {
        error = "--frame-rate-mode wants constant or content, not '" + v + "'";
        return std::nullopt;
      }
      o.frameRateMode = v == "content" ? 1 : 0;
    } else if (a == "--area") {
      if (!value(v)) return std::nullopt;
      if (v.rfind("screen:", 0) == 0) {
        int n = 0;
        if (!ParseInt(v.substr(7), n) || n < 0 || n > 63) {
          error = "--area wants screen:N with a monitor number from kalrec devices, not '" + v + "'";
          return std::nullopt;
        }
        o.monitor = n;
      } else if (v != "full" && v != "follow" && v != "all") {
        int x = 0, y = 0, w = 0, h = 0;
        if (!ParseRegion(v, x, y, w, h) || x < 0 || y < 0 || w < 2 || h < 2) {
          error = "--area wants full, follow, all, screen:N or X,Y,W,H, not '" + v + "'";
          return std::nullopt;
        }
        o.regionX = x;
        o.regionY = y;
        o.regionW = w;
        o.regionH = h;
      }
      o.area = v;
    } else if (a == "--sound") {
      if (!value(v)) return std::nullopt;
      if (v != "none" && v != "mic" && v != "system" && v != "both") {
        error = "--sound wants none, mic, system or both, not '" + v + "'";
        return std::nullopt;
      }
      o.sound = v;
    } else if (a == "--cursor") {
      o.cursor = true;
    } else if (a == "--highlight") {
      o.highlight = true;
    } else if (a == "--ripples") {
      o.ripples = true;
    } else if (a == "--watermark-text") {
      if (!value(v)) return std::nullopt;
      o.watermarkText = v;
    } else if (a == "--watermark-image") {
      if (!value(v)) return std::nullopt;
      o.watermarkImage = v;
    } else if (a == "--camera") {
      o.camera = true;
    } else if (a == "--pause-at") {
      double t = 0;
      double d = 0;
      if (!value(v)) return std::nullopt;
      const auto colon = v.find(':');
      if (colon == std::string::npos || !ParseNumber(v.substr(0, colon), t) ||
          !ParseNumber(v.substr(colon + 1), d) || t < 0 || d <= 0) {
        error = "--pause-at wants T:D (seconds), not '" + v + "'";
        return std::nullopt;
      }
      o.pauses.push_back({t, d});
    } else if (a == "--stats") {
      o.stats = true;
    } else if (a == "--verbose") {
      o.verbose = true;
    } else {
      error = "unknown argument '" + a + "' (see kalrec record --help)";
      return std::nullopt;
    }
  }
  if (o.out.empty()) {
    error = "--out PATH is required";
    return std::nullopt;
  }
  const auto slash = o.out.rfind('/');
  o.folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : o.out.substr(0, slash));
  o.fileName = slash == std::string::npos ? o.out : o.out.substr(slash + 1);
  const auto dot = o.fileName.rfind('.');
  o.extension = dot == std::string::npos ? "" : o.fileName.substr(dot + 1);
  bool known = false;
  for (const char* c : kContainers) known = known || o.extension == c;
  if (!known || dot == 0) {
    error = "the file name must end in .mp4, .flv, .wmv, .avi, .mov or .mkv: '" + o.out + "'";
    return std::nullopt;
  }
  if (o.watermarkText && o.watermarkImage) {
    error = "--watermark-text and --watermark-image exclude each other";
    return std::nullopt;
  }
  return o;
}

void ApplyRecordOptions(const RecordOptions& o) {
  ConfigStore* store = ConfigStore::Instance();
  const auto set = [store](const auto& key, const std::string& value) {
    store->SetOverride(key.section, key.key, value);
  };
  if (o.area) {
    const bool region = *o.area != "full" && *o.area != "follow";
    set(cfg::kUserDefinedRegionCheck, region ? "1" : "0");
    set(cfg::kMouseFollowCheck, *o.area == "follow" ? "1" : "0");
    if (region) {
      set(cfg::kRegionOffsetX, std::to_string(o.regionX));
      set(cfg::kRegionOffsetY, std::to_string(o.regionY));
      set(cfg::kRegionWidth, std::to_string(o.regionW));
      set(cfg::kRegionHeight, std::to_string(o.regionH));
    }
  }
  if (o.sound) {
    set(cfg::kAudioMuteCheck, *o.sound == "none" ? "1" : "0");
    if (*o.sound == "mic") set(cfg::kVoiceSource, "1");
    if (*o.sound == "system") set(cfg::kVoiceSource, "2");
    if (*o.sound == "both") set(cfg::kVoiceSource, "0");
  }
  if (o.frameRateMode) set(cfg::kFrameRateMode, std::to_string(*o.frameRateMode));
  if (o.cursor) set(cfg::kMouseCheck, "1");
  if (o.highlight) set(cfg::kMouseHotRegionCheck, "1");
  if (o.ripples) set(cfg::kMouseEffectClickCheck, "1");
  if (o.watermarkText) {
    set(cfg::kWatermarkType, "2");
    set(cfg::kWatermarkTextDesc, *o.watermarkText);
  }
  if (o.watermarkImage) {
    set(cfg::kWatermarkType, "1");
    set(cfg::kWatermarkImagePath, *o.watermarkImage);
  }
  if (o.camera) set(cfg::kVideoSource, "1");
}

}  // namespace kal
