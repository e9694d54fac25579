#include "config/ColorRef.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kal {

std::optional<long> ParseColorRef(std::string_view text) {
  const std::string s(text);
  const char* begin = s.c_str();
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(begin, &end, 10);
  if (end == begin || errno == ERANGE) return std::nullopt;
  return v;
}

Rgb SplitColorRef(long c) {
  return Rgb{static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>((c >> 8) & 0xFF),
             static_cast<std::uint8_t>((c >> 16) & 0xFF)};
}

long ToColorRef(const Rgb& rgb) { return rgb.r | (rgb.g << 8) | (long{rgb.b} << 16); }

std::uint64_t ColorRefToArgb(long colorRef) {
  const Rgb rgb = SplitColorRef(colorRef);
  char text[16];
  std::snprintf(text, sizeof text, "0xFF%02x%02x%02x", rgb.r, rgb.g, rgb.b);
  return std::strtoull(text, nullptr, 16);
}

Rgb ReadColor(const cfg::TextKey& key) {
  const auto stored = ParseColorRef(cfg::Read(key));
  if (stored) return SplitColorRef(*stored);
  return SplitColorRef(ParseColorRef(key.def).value_or(0));
}

}  // namespace kal
