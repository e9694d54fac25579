#include "tools/TranscodeOutput.h"

#include <cstdio>

namespace kal {
namespace {

constexpr size_t kLastLines = 8;

// The digits at the front of `s`, as a number; nullopt when there are none.
std::optional<std::int64_t> Digits(std::string_view s, size_t* used) {
  std::int64_t v = 0;
  size_t i = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i < 12) v = v * 10 + (s[i++] - '0');
  *used = i;
  if (i == 0) return std::nullopt;
  return v;
}

}  // namespace

std::optional<std::int64_t> ParseTranscodeTime(std::string_view t) {
  size_t n = 0;
  const auto h = Digits(t, &n);
  if (!h || n >= t.size() || t[n] != ':') return std::nullopt;
  t.remove_prefix(n + 1);
  const auto m = Digits(t, &n);
  if (!m || n >= t.size() || t[n] != ':' || *m > 59) return std::nullopt;
  t.remove_prefix(n + 1);
  const auto s = Digits(t, &n);
  if (!s || *s > 59) return std::nullopt;
  std::int64_t ms = (*h * 3600 + *m * 60 + *s) * 1000;
  if (n < t.size() && t[n] == '.') {
    t.remove_prefix(n + 1);
    std::int64_t scale = 100;
    for (size_t i = 0; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, scale /= 10)
      ms += (t[i] - '0') * scale;  // digits past the millisecond add nothing
  }
  return ms;
}

std::string FormatTranscodeTime(std::int64_t ms) {
  if (ms < 0) ms = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
  return buf;
}

TranscodeEvents TranscodeOutput::Feed(std::string_view piece) {
  TranscodeEvents events;
  tail_.append(piece);
  size_t start = 0;
  for (size_t i = 0; i < tail_.size(); ++i) {
    // Progress lines end with a carriage return, the others with a newline.
    if (tail_[i] != '\r' && tail_[i] != '\n') continue;
    if (i > start) Line(std::string_view(tail_).substr(start, i - start), events);
    start = i + 1;
  }
  tail_.erase(0, start);
  return events;
}

TranscodeEvents TranscodeOutput::Finish() {
  TranscodeEvents events;
  if (!tail_.empty()) Line(tail_, events);
  tail_.clear();
  return events;
}

void TranscodeOutput::Line(std::string_view line, TranscodeEvents& events) {
  last_.emplace_back(line);
  if (last_.size() > kLastLines) last_.erase(last_.begin());
  if (!durationSeen_) {
    const size_t at = line.find("Duration:");
    if (at != std::string_view::npos) {
      std::string_view rest = line.substr(at + 9);
      while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
      durationSeen_ = true;
      durationMs_ = ParseTranscodeTime(rest).value_or(-1);
      events.durationFound = true;
    }
  }
  const size_t at = line.find("time=");
  if (at != std::string_view::npos) {
    std::string_view rest = line.substr(at + 5);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (const auto pos = ParseTranscodeTime(rest)) events.positions.push_back(*pos);
  }
  if (line.find("muxing overhead:") != std::string_view::npos) {
    endSeen_ = true;
    events.endMarker = true;
  }
}

std::string TranscodeOutput::LastLines(int count) const {
  std::string out;
  const size_t from = last_.size() > static_cast<size_t>(count) ? last_.size() - count : 0;
  for (size_t i = from; i < last_.size(); ++i) out += last_[i] + "\n";
  return out;
}

}  // namespace kal
