#include "recorder/WatermarkText.h"

#include <string>

namespace kal {
namespace {

// Characters the option parser treats specially (and the escape itself).
bool OptionSpecial(char c) { return c == ':' || c == '\'' || c == '\\'; }

// What the parsers skip around a value unless it is escaped.
constexpr const char* kWhitespace = " \n\t\r";

std::string EscapeOption(const std::string& s) {
  const std::size_t first = s.find_first_not_of(kWhitespace);
  const std::size_t last = s.find_last_not_of(kWhitespace);
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool edgeBlank = first == std::string::npos || i < first || i > last;
    if (OptionSpecial(s[i]) || edgeBlank) out += '\\';
    out += s[i];
  }
  return out;
}

// Single quotes make everything literal to the graph parser; a quote
// itself is closed, escaped and reopened.
std::string QuoteForGraph(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

bool NeedsEscaping(const std::string& s) {
  if (s.empty()) return true;
  return s.find_first_of(":,;[]'\\%=\n\t\r") != std::string::npos || s.front() == ' ' ||
         s.back() == ' ';
}

// A NUL would end the C string the description is handed over as, cutting
// off the closing quote and every option after it.
std::string WithoutNul(std::string s) {
  std::erase(s, '\0');
  return s;
}

}  // namespace

std::string EscapeFilterPath(const std::string& path) {
  std::string p = WithoutNul(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return QuoteForGraph(EscapeOption(p));
}

std::string EscapeFilterText(const std::string& text) {
  const std::string t = WithoutNul(text);
  if (!NeedsEscaping(t)) return t;
  return QuoteForGraph(EscapeOption(t));
}

ImagePlacement PlaceWatermark(int pos, int W, int H, int w, int h, int offsetX, int offsetY) {
  switch (pos) {
    case 0: return {offsetX, offsetY};
    case 1: return {W - w - offsetX, offsetY};
    case 2: return {offsetX, H - h - offsetY};
    case 3: return {W - w - offsetX, H - h - offsetY};
    default: return {0, 0};
  }
}

std::string ImageWatermarkDescription(const std::string& imagePath, ImagePlacement at) {
  // Built as a string: a fixed buffer would cut a long path and the labels after it.
  return "movie=" + EscapeFilterPath(imagePath) + "[wm]; [in][wm]overlay = " +
         std::to_string(at.x) + ":" + std::to_string(at.y) + "[out]";
}

std::string TextWatermarkDescription(const std::string& fontPath, const std::string& text, int x,
                                     int y, int fontSize, const std::string& color) {
  std::string d = "drawtext=fontfile=" + EscapeFilterPath(fontPath) +
                  ":text=" + EscapeFilterText(text) + ":x=" + std::to_string(x) +
                  ":y=" + std::to_string(y) + ":fontsize=" + std::to_string(fontSize) +
                  ":fontcolor=" + EscapeFilterText(color) + ":shadowy=1";
  // drawtext reads "%" as the start of an expansion and "\" as an escape.
  if (text.find_first_of("%\\") != std::string::npos) d += ":expansion=none";
  return d;
}

const char* FontFileForFamily(const std::string& family) {
  if (family == "宋体") return "songTypeface.ttf";
  return "microsoftYaHei.ttf";
}

}  // namespace kal
