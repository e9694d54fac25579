#pragma once
// The command line of `kalrec record`, parsed and checked.

#include <optional>
#include <string>
#include <vector>

namespace kal {

struct PauseAt {
  double at = 0;      // running second
  double length = 0;  // seconds
};

struct RecordOptions {
  std::string out;
  std::string folder;     // of `out`
  std::string fileName;   // of `out`
  std::string extension;  // mp4, flv, wmv, avi, mov or mkv
  std::optional<double> seconds;
  std::optional<int> fps;
  std::optional<int> quality;
  std::optional<int> frameRateMode;  // 0 constant, 1 content
  std::optional<std::string> area;  // "full", "follow", "all", "screen:N" or "X,Y,W,H"
  std::optional<int> monitor;       // N of "screen:N"
  int regionX = 0, regionY = 0, regionW = 0, regionH = 0;  // "all" and "screen:N": set by the caller
  std::optional<std::string> sound;  // none, mic, system, both
  bool cursor = false;
  bool highlight = false;
  bool ripples = false;
  std::optional<std::string> watermarkText;
  std::optional<std::string> watermarkImage;
  bool camera = false;
  std::vector<PauseAt> pauses;
  bool stats = false;
  bool verbose = false;  // the engine's trace lines on stderr
  bool help = false;
};

// Parses the arguments after "record". On a bad argument returns nothing
// and puts a one-line reason into `error`.
std::optional<RecordOptions> ParseRecordOptions(const std::vector<std::string>& args,
                                                std::string& error);

// Turns the options into this run's settings (never written to the file).
// For "all" and "screen:N" the region must have been filled in first.
void ApplyRecordOptions(const RecordOptions& o);

}  // namespace kal
