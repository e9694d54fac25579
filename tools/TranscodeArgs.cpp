#include "tools/TranscodeArgs.h"

#include <cmath>

#include "tools/TranscodeOutput.h"

namespace kal {
namespace {

// Progress four times a second: a short job still moves its bar.
constexpr const char* kStatsPeriod = "0.25";

std::vector<std::string> Head(const std::string& input) {
  return {"-nostdin", "-hide_banner", "-stats_period", kStatsPeriod, "-y", "-i", input};
}

void AddSize(std::vector<std::string>& a, VideoSize size) {
  if (size.width <= 0 || size.height <= 0) return;
  a.push_back("-s");
  a.push_back(std::to_string(size.width) + "x" + std::to_string(size.height));
}

void AddCodecs(std::vector<std::string>& a) {
  for (const char* s : {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"}) a.push_back(s);
}

std::int64_t Milliseconds(double seconds) {
  return static_cast<std::int64_t>(std::floor(seconds * 1000 + 0.5));
}

}  // namespace

VideoSize ResolutionAt(int index) {
  if (index < 0 || index >= kResolutionCount) return {};
  return kResolutionTable[index];
}

int CompressCrf(const CompressChoice& c) {
  if (c.custom) return c.sliderCrf;
  switch (c.type) {
    case CompressType::kDeep: return 34;
    case CompressType::kLimit: return 38;
    default: return 28;
  }
}

const char* CompressPreset(const CompressChoice& c) { return c.balanced ? "fast" : "ultrafast"; }

const char* CompressExtension(const CompressChoice& c) {
  return c.container == CompressContainer::kFlv ? "flv" : "mp4";
}

int CompressSliderPercent(int value, int minimum, int maximum) {
  if (maximum <= minimum) return 0;
  return static_cast<int>(static_cast<float>(value - minimum) / static_cast<float>(maximum - minimum) * 100);
}

std::vector<std::string> ConvertArgs(const std::string& input, VideoSize size) {
  auto a = Head(input);
  AddSize(a, size);
  AddCodecs(a);
  return a;
}

std::vector<std::string> CompressArgs(const std::string& input, VideoSize size, const CompressChoice& c) {
  auto a = Head(input);
  AddSize(a, size);
  AddCodecs(a);
  a.insert(a.end(), {"-preset", CompressPreset(c), "-crf", std::to_string(CompressCrf(c))});
  return a;
}

std::vector<std::string> CutArgs(const std::string& input, double startSeconds, double endSeconds) {
  std::vector<std::string> a{"-nostdin", "-hide_banner", "-stats_period", kStatsPeriod, "-y",
                             "-ss", FormatTranscodeTime(Milliseconds(startSeconds)),
                             "-to", FormatTranscodeTime(Milliseconds(endSeconds)), "-i", input};
  AddCodecs(a);
  return a;
}

std::string ToolOutputPath(const std::string& folder, const std::string& source, std::time_t when,
                           const std::string& extension) {
  std::string name = source.substr(source.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  std::tm local{};
  ::localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  return folder + "/" + name + "-" + stamp + "." + extension;
}

}  // namespace kal
