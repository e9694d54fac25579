#include "recorder/WatermarkText.h"

#include <cstdio>

namespace kal {
namespace {

// Characters the option parser treats specially (and the escape itself).
bool OptionSpecial(char c) { return c == ':' || c == '\'' || c == '\\'; }

std::string EscapeOption(const std::string& s) {
  std::string out;
  for (const char c : s) {
    if (OptionSpecial(c)) out += '\\';
    out += c;
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
  if (s.empty() || s.front() == ' ' || s.back() == ' ') return true;
  return s.find_first_of(":,;[]'\\%=\n\t") != std::string::npos;
}

}  // namespace

std::string EscapeFilterPath(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  return QuoteForGraph(EscapeOption(p));
}

std::string EscapeFilterText(const std::string& text) {
  if (!NeedsEscaping(text)) return text;
  return QuoteForGraph(EscapeOption(text));
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
  char buf[1024];
  std::snprintf(buf, sizeof buf, "movie=%s[wm]; [in][wm]overlay = %d:%d[out]",
                EscapeFilterPath(imagePath).c_str(), at.x, at.y);
  return buf;
}

std::string TextWatermarkDescription(const std::string& fontPath, const std::string& text, int x,
                                     int y, int fontSize, const std::string& color) {
  std::string d = "drawtext=fontfile=" + EscapeFilterPath(fontPath) +
                  ":text=" + EscapeFilterText(text) + ":x=" + std::to_string(x) +
                  ":y=" + std::to_string(y) + ":fontsize=" + std::to_string(fontSize) +
                  ":fontcolor=" + EscapeFilterText(color) + ":shadowy=1";
  // "%" would start drawtext's own expansions.
  if (text.find('%') != std::string::npos) d += ":expansion=none";
  return d;
}

const char* FontFileForFamily(const std::string& family) {
  if (family == "宋体") return "songTypeface.ttf";
  return "microsoftYaHei.ttf";
}

}  // namespace kal
