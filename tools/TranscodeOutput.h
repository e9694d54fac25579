#pragma once
// Reads ffmpeg's console output as it comes: the input's length from
// "Duration:", the position from each progress line's "time=", and the end
// of the job's statistics, "muxing overhead:". Output arrives in pieces cut
// anywhere; an unfinished line waits for the rest.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

// What one piece of output completed.
struct TranscodeEvents {
  bool durationFound = false;           // the first "Duration:" of the output
  std::vector<std::int64_t> positions;  // milliseconds, in the order printed
  bool endMarker = false;               // "muxing overhead:" was printed
};

class TranscodeOutput {
 public:
  TranscodeEvents Feed(std::string_view piece);
  // The last line, when the output ends without a line break.
  TranscodeEvents Finish();

  // The input's length in milliseconds; -1 while unknown or "N/A".
  std::int64_t DurationMs() const { return durationMs_; }
  bool EndMarkerSeen() const { return endSeen_; }
  // The last lines printed (at most `count`), for the log when a job fails.
  std::string LastLines(int count = 8) const;

 private:
  void Line(std::string_view line, TranscodeEvents& events);

  std::string tail_;  // an unfinished line
  bool durationSeen_ = false;
  std::int64_t durationMs_ = -1;
  bool endSeen_ = false;
  std::vector<std::string> last_;
};

// "HH:MM:SS.hh" (any number of fraction digits) in milliseconds; nullopt for
// "N/A", a negative time or anything else.
std::optional<std::int64_t> ParseTranscodeTime(std::string_view text);

// Milliseconds as ffmpeg's "-ss"/"-to" take them: "HH:MM:SS.mmm".
std::string FormatTranscodeTime(std::int64_t ms);

}  // namespace kal
