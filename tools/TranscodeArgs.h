#pragma once
// The ffmpeg arguments of the three tools and the names of their outputs.
// Every output is H.264 + AAC, as the recordings are (left to itself ffmpeg
// picks old codecs for FLV, AVI and WMV); ffmpeg reads no keys from the
// terminal, and overwrites only the job's own temporary file.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace kal {

struct VideoSize {
  int width = 0, height = 0;  // 0: the source's size
};

// The size combo boxes' entries, by index; 0 keeps the source's size.
inline constexpr VideoSize kResolutionTable[] = {
    {0, 0},     {1920, 1080}, {1280, 720}, {1024, 600}, {800, 600}, {720, 576}, {720, 480},
    {640, 480}, {640, 360},   {480, 360},  {480, 272},  {352, 288}, {320, 240}};
inline constexpr int kResolutionCount = sizeof(kResolutionTable) / sizeof(kResolutionTable[0]);

// The entry at `index`, the source's size outside the table.
VideoSize ResolutionAt(int index);

enum class CompressType { kNone, kGeneral, kDeep, kLimit };
enum class CompressContainer { kNone, kMp4, kFlv };

struct CompressChoice {
  CompressType type = CompressType::kNone;
  bool custom = false;   // "video-compress-check": the slider's CRF instead
  int sliderCrf = 28;
  bool balanced = false;  // "video-compress-balanced-check": a slower preset
  CompressContainer container = CompressContainer::kNone;
};

int CompressCrf(const CompressChoice& c);
const char* CompressPreset(const CompressChoice& c);
// Without a container chosen the output is MP4.
const char* CompressExtension(const CompressChoice& c);
// The slider's label: how far along its range the CRF is, in whole percent.
int CompressSliderPercent(int value, int minimum, int maximum);

// The arguments before the output path (TranscodeJob adds it).
std::vector<std::string> ConvertArgs(const std::string& input, VideoSize size);
std::vector<std::string> CompressArgs(const std::string& input, VideoSize size, const CompressChoice& c);
// Seeks on the input, so a cut near the end of a long file decodes only
// its range.
std::vector<std::string> CutArgs(const std::string& input, double startSeconds, double endSeconds);

// folder/base-YYYYmmddHHMMSS.ext, base being the source's name without its
// last extension.
std::string ToolOutputPath(const std::string& folder, const std::string& source, std::time_t when,
                           const std::string& extension);

}  // namespace kal
